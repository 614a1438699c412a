#include "util/basKansu.h"

#include "util/Messages.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>

namespace tolvar {

namespace {

ShellOpener shellOpener;
std::function<QString()> computerNameSource;

// Whether the desktop has an application for the file's type, as xdg-open would find it.
bool hasAssociation(const QString& path)
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(10000) || query.exitCode() != 0)
        return false;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

qint32 openWithAssociatedApplication(const QString& path)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return kShellPathNotFound;
    if (!info.exists())
        return kShellFileNotFound;
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty() || !hasAssociation(path))
        return kShellNoAssociation;
    if (!QProcess::startDetached(xdgOpen, {info.absoluteFilePath()}))
        return kShellNoAssociation;
    return kShellStarted;
}

qint32 ShellOpenFile(const QString& path)
{
    const qint32 result = shellOpener ? shellOpener(path) : openWithAssociatedApplication(path);
    if (result == kShellFileNotFound)
        MsgBox(QStringLiteral("ファイルが存在しません"));
    else if (result < 33)
        MsgBox(QStringLiteral("起動できません。\u3000実行ファイルが無いか拡張子の関連付けがありません。"));
    return result;
}

QString GetSelfComputerName()
{
    QString name = computerNameSource ? computerNameSource() : QSysInfo::machineHostName();
    const qsizetype nul = name.indexOf(QChar(0));
    if (nul >= 0)
        name.truncate(nul);
    if (name.isEmpty())
        MsgBox(QStringLiteral("コンピュータ名取得失敗。\r\n管理者に報告してください。"), MsgIcon::None,
               QStringLiteral("GetSelfComputerName"));
    return name;
}

ShellOpenerForTesting::ShellOpenerForTesting(ShellOpener opener) : ScopedSeam(shellOpener, std::move(opener)) {}

ComputerNameForTesting::ComputerNameForTesting(std::function<QString()> source)
    : ScopedSeam(computerNameSource, std::move(source))
{
}

}  // namespace tolvar
