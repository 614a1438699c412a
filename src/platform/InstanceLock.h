// InstanceLock: held for as long as this copy of the program runs, under a name that the caller
// derives from the program and the user, so that a second copy can tell that one is running. It is
// the user's own: on POSIX a lock file in the user's runtime folder ($XDG_RUNTIME_DIR when it is
// the user's and no one else's to write, else a folder of the user's own made 0700), which no
// other user can plant a file in; on Windows a named object of the user's session. A lock whose
// process has ended (a crash) is taken over.
#pragma once

#include <QString>
#include <memory>

namespace tolvar {

class InstanceLock {
public:
    // name: letters, digits and '-' only.
    explicit InstanceLock(const QString& name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock.
    bool acquire();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tolvar
