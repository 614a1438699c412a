#include "platform/ShellOpen.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace tolvar {

namespace {

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

}  // namespace tolvar
