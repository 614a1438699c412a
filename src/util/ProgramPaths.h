// The program's own folder and executable base name, from which the settings file, the template
// and the demo database are found. Tests point them at a temporary program folder.
#pragma once

#include "util/ScopedSeam.h"

#include <QString>

namespace tolvar {

// The folder that holds the executable, without a trailing separator.
QString programFolder();
// The executable's file name without its extension ("tolvar").
QString executableBaseName();
// A file in the program folder.
QString programFile(const QString& name);

// While it lives, the program folder and the executable's base name are the given ones.
struct ProgramPaths {
    QString folder;
    QString baseName;
};
class ProgramPathsForTesting : public ScopedSeam<ProgramPaths> {
public:
    ProgramPathsForTesting(const QString& folder, const QString& baseName);
};

}  // namespace tolvar
