#include "startup/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace tolvar {

SingleInstance::SingleInstance(const QString& key) : lock_(lockNameFor(key)) {}

bool SingleInstance::acquire()
{
    return lock_.acquire();
}

QString SingleInstance::lockNameFor(const QString& key)
{
    // One copy per program folder and per user: the home folder tells the users apart where they
    // share a runtime folder or a session namespace.
    const QString canonical = QFileInfo(key).canonicalFilePath();
    const QString owner = (canonical.isEmpty() ? key : canonical) + QChar(0) + QDir::homePath();
    const QByteArray hash = QCryptographicHash::hash(owner.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("tolvar-%1").arg(QString::fromLatin1(hash));
}

}  // namespace tolvar
