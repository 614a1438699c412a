// privateFolder: a folder of the user's own that no other user may enter or write, for what the
// program keeps while it runs (its instance lock, a driver's configuration with a server's
// name in it): the session's runtime folder when it is the user's alone, else one under the home
// folder made 0700; on Windows the user's own temporary folder. Empty when there is none.
#pragma once

#include <QString>

namespace tolvar {

QString privateFolder();

}  // namespace tolvar
