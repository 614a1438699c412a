#include "util/Globals.h"

namespace tolvar {

QString gTantoCd;
QString gComputerName;

}  // namespace tolvar
