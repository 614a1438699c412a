#include "platform/InstanceLock.h"

#include <windows.h>

namespace tolvar {

struct InstanceLock::Impl {
    QString name;
    HANDLE mutex = nullptr;
};

InstanceLock::InstanceLock(const QString& name) : d(std::make_unique<Impl>())
{
    // "Local\": the user's own session; the system lets the object go with the last process
    // that holds it, a crashed one too.
    d->name = QStringLiteral("Local\\") + name;
}

InstanceLock::~InstanceLock()
{
    if (d->mutex)
        ::CloseHandle(d->mutex);
}

bool InstanceLock::acquire()
{
    if (d->mutex)
        return true;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(d->name.utf16()));
    if (!mutex)
        return true;  // no object to be had: the program runs rather than be kept from running
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    d->mutex = mutex;
    return true;
}

}  // namespace tolvar
