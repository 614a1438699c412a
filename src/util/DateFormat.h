// The one form dates take in the program: the search's bounds, the grid, the date pickers and the
// workbook's date texts all write a date as yyyy/MM/dd.
#pragma once

#include <QLatin1String>

namespace tolvar {

inline constexpr QLatin1String kDateFormat("yyyy/MM/dd");

}  // namespace tolvar
