// SingleInstance: tells whether another copy of the same executable is running for the same user:
// a lock of the user's own (platform/InstanceLock), named after a hash of the executable's path
// and the user's home folder, held for the whole run; the lock of a copy that crashed is taken over.
#pragma once

#include "platform/InstanceLock.h"

#include <QString>

namespace tolvar {

class SingleInstance {
public:
    // key: the executable's own path.
    explicit SingleInstance(const QString& key);
    // True when this process now holds the lock: no other copy runs.
    bool acquire();
    static QString lockNameFor(const QString& key);

private:
    InstanceLock lock_;
};

}  // namespace tolvar
