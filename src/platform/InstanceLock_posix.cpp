#include "platform/InstanceLock.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace tolvar {

namespace {

// A folder that is the user's own and that no one else may write to.
bool isPrivateFolder(const QByteArray& path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0077) == 0;
}

// Where the lock lies: the runtime folder the session gives the user, or one of the user's own
// under the home folder, made for it.
QString lockFolder()
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

}  // namespace

struct InstanceLock::Impl {
    std::unique_ptr<QLockFile> lock;
};

InstanceLock::InstanceLock(const QString& name) : d(std::make_unique<Impl>())
{
    const QString folder = lockFolder();
    if (folder.isEmpty())
        return;
    d->lock = std::make_unique<QLockFile>(folder + QLatin1Char('/') + name + QStringLiteral(".lock"));
    // Never stale by age: a copy may run for days. A lock whose process is gone is stale anyway.
    d->lock->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::acquire()
{
    // Without a folder of the user's own there is no safe place for a lock: the program runs
    // rather than be kept from running.
    return !d->lock || d->lock->tryLock(0);
}

}  // namespace tolvar
