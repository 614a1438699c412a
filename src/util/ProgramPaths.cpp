#include "util/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tolvar {

namespace {
QString testFolder;
QString testBaseName;
}  // namespace

QString programFolder()
{
    if (!testFolder.isEmpty())
        return testFolder;
    return QCoreApplication::applicationDirPath();
}

QString executableBaseName()
{
    if (!testBaseName.isEmpty())
        return testBaseName;
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString programFile(const QString& name)
{
    return QDir(programFolder()).filePath(name);
}

void setProgramPathsForTesting(const QString& folder, const QString& baseName)
{
    testFolder = folder;
    testBaseName = baseName;
}

}  // namespace tolvar
