#include "platform/OdbcDrivers.h"

namespace tolvar {

std::optional<QStringList> installedOdbcDrivers()
{
    return std::nullopt;
}

}  // namespace tolvar
