#include "startup/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace tolvar {

SingleInstance::SingleInstance(const QString& key) : lock_(std::make_unique<QLockFile>(lockPathFor(key)))
{
    // Never stale by age: a copy may run for days. A lock whose process is gone is stale anyway.
    lock_->setStaleLockTime(0);
}

bool SingleInstance::acquire()
{
    return lock_->tryLock(0);
}

QString SingleInstance::lockPathFor(const QString& key)
{
    // One copy per program folder and per user: where several people share one machine (a
    // desktop with two sessions, the temporary folder common to all), one user's copy must not
    // keep another's from starting. The home folder tells the users apart on every system.
    const QString canonical = QFileInfo(key).canonicalFilePath();
    const QString owner = (canonical.isEmpty() ? key : canonical) + QChar(0) + QDir::homePath();
    const QByteArray hash = QCryptographicHash::hash(owner.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("tolvar-%1.lock").arg(QString::fromLatin1(hash)));
}

}  // namespace tolvar
