#include "platform/ShellOpen.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#include <QDir>

namespace tolvar {

qint32 openWithAssociatedApplication(const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", reinterpret_cast<LPCWSTR>(native.utf16()), nullptr, nullptr, SW_SHOWNORMAL);
    // ShellExecute's result is a number dressed as a handle: above 32 it started the application.
    const auto code = reinterpret_cast<INT_PTR>(result);
    return code > 32 ? kShellStarted : static_cast<qint32>(code);
}

}  // namespace tolvar
