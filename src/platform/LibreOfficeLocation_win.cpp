#include "platform/LibreOfficeLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace tolvar {

namespace {

// soffice.com beside soffice.exe when it is there: the console form passes LibreOffice's output on.
QString consoleForm(const QString& exe)
{
    const QFileInfo info(exe);
    const QString com = info.dir().filePath(QStringLiteral("soffice.com"));
    return QFileInfo(com).isFile() ? com : exe;
}

QString registered()
{
    const QString key = QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\soffice.exe");
    for (const QString& root : {QStringLiteral("HKEY_CURRENT_USER"), QStringLiteral("HKEY_LOCAL_MACHINE")}) {
        const QSettings entry(root + key, QSettings::NativeFormat);
        QString path = entry.value(QStringLiteral("Default")).toString();
        if (path.startsWith(QLatin1Char('"')))
            path = path.mid(1).section(QLatin1Char('"'), 0, 0);
        if (!path.isEmpty() && QFileInfo(path).isFile())
            return path;
    }
    return {};
}

}  // namespace

QString findSoffice()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (found.isEmpty())
        found = registered();
    if (found.isEmpty()) {
        for (const char* variable : {"ProgramFiles", "ProgramW6432", "ProgramFiles(x86)"}) {
            const QString folder = qEnvironmentVariable(variable);
            const QString exe = QDir(folder).filePath(QStringLiteral("LibreOffice/program/soffice.exe"));
            if (!folder.isEmpty() && QFileInfo(exe).isFile()) {
                found = exe;
                break;
            }
        }
    }
    return found.isEmpty() ? found : consoleForm(found);
}

}  // namespace tolvar
