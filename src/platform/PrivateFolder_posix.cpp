#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>

namespace tolvar {

namespace {

bool isPrivateFolder(const QByteArray& path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0077) == 0;
}

}  // namespace

QString privateFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return QFile::decodeName(runtime);
    const QString own = QDir::homePath() + QStringLiteral("/.cache/tolvar/run");
    QDir().mkpath(own);
    const QByteArray encoded = QFile::encodeName(own);
    ::chmod(encoded.constData(), 0700);
    return isPrivateFolder(encoded) ? own : QString();
}

}  // namespace tolvar
