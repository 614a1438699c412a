#include "platform/InstanceLock.h"

#include "platform/PrivateFolder.h"

#include <QLockFile>

namespace tolvar {

struct InstanceLock::Impl {
    std::unique_ptr<QLockFile> lock;
};

InstanceLock::InstanceLock(const QString& name) : d(std::make_unique<Impl>())
{
    const QString folder = privateFolder();
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
