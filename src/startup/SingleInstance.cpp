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
    const QString canonical = QFileInfo(key).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((canonical.isEmpty() ? key : canonical).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("tolvar-%1.lock").arg(QString::fromLatin1(hash)));
}

}  // namespace tolvar
