// openWithAssociatedApplication: opens a file with the application the desktop associates with its
// type, and says how that went in the Windows shell's result codes, which the callers test: above
// 32 started, 2 file not found, 3 path not found, 31 no association, anything else up to 32 a
// failure of the shell. On Linux xdg-open stands in for the shell and its outcomes are mapped onto
// those codes; on Windows the shell's own code is returned as it is.
#pragma once

#include <QString>

namespace tolvar {

// The shell's result codes, as the callers test them: above 32 means started.
enum ShellResult : qint32 {
    kShellFileNotFound = 2,
    kShellPathNotFound = 3,
    kShellNoAssociation = 31,
    kShellStarted = 42,
};

qint32 openWithAssociatedApplication(const QString& path);

}  // namespace tolvar
