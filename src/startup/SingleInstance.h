// SingleInstance: tells whether another copy of the same executable is running for the same user.
// A lock file in the temporary folder, named after a hash of the executable's path and the user's
// home folder, is held for the whole run;
// the lock of a copy that crashed is stale and taken over.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace tolvar {

class SingleInstance {
public:
    // key: the executable's own path.
    explicit SingleInstance(const QString& key);
    // True when this process now holds the lock: no other copy runs.
    bool acquire();
    static QString lockPathFor(const QString& key);

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace tolvar
