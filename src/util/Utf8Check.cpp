#include "util/Utf8Check.h"

#include <cstdint>
#include <cstring>

namespace tolvar {

bool isUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    const auto continuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    while (p < end) {
        // Eight ASCII bytes at a time while there are eight.
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080u) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            if (end - p < 2 || !continuation(p[1]))
                return false;
            p += 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            // E0 would be an overlong form below A0; ED from A0 on is a surrogate half.
            if (end - p < 3 || !continuation(p[1]) || !continuation(p[2]) || (lead == 0xE0 && p[1] < 0xA0) ||
                (lead == 0xED && p[1] >= 0xA0))
                return false;
            p += 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            // F0 would be an overlong form below 90; F4 from 90 on is past U+10FFFF.
            if (end - p < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3]) ||
                (lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] >= 0x90))
                return false;
            p += 4;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace tolvar
