#include "xls/Text.h"

#include <algorithm>

namespace xls {

char16_t foldCase(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 32);
    if (c >= 0xFF41 && c <= 0xFF5A)  // full-width a-z
        return static_cast<char16_t>(c - 32);
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7)  // Latin-1 letters, the division sign aside
        return static_cast<char16_t>(c - 32);
    return c;
}

std::u16string foldCase(const std::u16string& s)
{
    std::u16string out = s;
    for (char16_t& c : out)
        c = foldCase(c);
    return out;
}

bool sameText(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

std::string utf8(const std::u16string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        std::uint32_t c = s[i];
        // A surrogate pair is one character; a lone surrogate stays as it is.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00u);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string fromUtf8(const std::string& s)
{
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        std::uint32_t c = length == 1   ? lead
                          : length == 2 ? (lead & 0x1F)
                          : length == 3 ? (lead & 0x0F)
                                        : (lead & 0x07);
        bool ok = length > 0 && i + length <= s.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

std::u16string readChars(ByteView data, std::size_t at, std::size_t cch, bool high)
{
    requireRange(data, at, cch * (high ? 2 : 1));
    std::u16string s;
    s.reserve(cch);
    for (std::size_t i = 0; i < cch; ++i)
        s.push_back(high ? static_cast<char16_t>(data[at + 2 * i] | (data[at + 2 * i + 1] << 8)) : data[at + i]);
    return s;
}

void putChars(Bytes& out, const std::u16string& s)
{
    const bool high = std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
    out.push_back(high ? 1 : 0);
    for (char16_t c : s) {
        if (high)
            put16(out, c);
        else
            out.push_back(static_cast<std::uint8_t>(c));
    }
}

}  // namespace xls
