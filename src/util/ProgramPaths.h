// The program's own folder and executable base name, from which the settings file, the template
// and the demo database are found. Tests point them at a temporary program folder.
#pragma once

#include <QString>

namespace tolvar {

// The folder that holds the executable, without a trailing separator.
QString programFolder();
// The executable's file name without its extension ("tolvar").
QString executableBaseName();
// A file in the program folder.
QString programFile(const QString& name);

void setProgramPathsForTesting(const QString& folder, const QString& baseName);

}  // namespace tolvar
