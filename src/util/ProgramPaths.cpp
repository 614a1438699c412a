#include "util/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tolvar {

namespace {
ProgramPaths testPaths;
}  // namespace

QString programFolder()
{
    if (!testPaths.folder.isEmpty())
        return testPaths.folder;
    return QCoreApplication::applicationDirPath();
}

QString executableBaseName()
{
    if (!testPaths.baseName.isEmpty())
        return testPaths.baseName;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString programFile(const QString& name)
{
    return QDir(programFolder()).filePath(name);
}

ProgramPathsForTesting::ProgramPathsForTesting(const QString& folder, const QString& baseName)
    : ScopedSeam(testPaths, ProgramPaths{folder, baseName})
{
}

}  // namespace tolvar
