#include "xls/NumberFormat.h"

#include <algorithm>

namespace xls {

bool isBuiltInDate(std::uint16_t f)
{
    return (f >= 14 && f <= 22) || (f >= 45 && f <= 47) || (f >= 27 && f <= 36) || (f >= 50 && f <= 58);
}

// A number format with day, month, year, hour or second codes outside quotes and brackets.
bool formatShowsDate(const std::u16string& code)
{
    bool quoted = false;
    int bracket = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            ++bracket;
        } else if (c == u']') {
            bracket = std::max(0, bracket - 1);
        } else if (!bracket) {
            const char16_t l = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
            if (l == u'd' || l == u'm' || l == u'y' || l == u'h' || l == u's' || c == u'年' || c == u'月' || c == u'日')
                return true;
        }
    }
    return false;
}

}  // namespace xls
