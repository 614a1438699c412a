// NumberFormat: what a cell's number format says about the values it shows, shared by the .xls
// and the .xlsx engines: whether a built-in format or a format code shows dates.
#pragma once

#include <cstdint>
#include <string>

namespace xls {

// The built-in formats (by number) that show dates or times, the East Asian ones included.
bool isBuiltInDate(std::uint16_t format);
// A format code with day, month, year, hour or second codes outside quotes and brackets.
bool formatShowsDate(const std::u16string& code);

}  // namespace xls
