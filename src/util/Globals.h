// The program-wide state that start-up sets and the windows read.
#pragma once

#include <QString>

namespace tolvar {

// The staff code from the command line; the default of the staff-code search field.
extern QString gTantoCd;
// The machine name taken at start-up, possibly empty.
extern QString gComputerName;

}  // namespace tolvar
