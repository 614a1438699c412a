// Little-endian byte helpers. Every read goes through a bounds check that throws an xls::Error
// naming the offset, so no input can make the engine read past its buffer.
#pragma once

#include "xls/Error.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace xls {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline void requireRange(ByteView data, std::size_t offset, std::size_t length,
                         ErrorCode code = ErrorCode::DamagedRecord)
{
    if (offset > data.size() || length > data.size() - offset)
        throw Error(code, offset,
                    "read of " + std::to_string(length) + " bytes past the end of " + std::to_string(data.size()));
}

inline std::uint8_t u8(ByteView d, std::size_t o)
{
    requireRange(d, o, 1);
    return d[o];
}
inline std::uint16_t u16(ByteView d, std::size_t o)
{
    requireRange(d, o, 2);
    return static_cast<std::uint16_t>(d[o] | (d[o + 1] << 8));
}
inline std::uint32_t u32(ByteView d, std::size_t o)
{
    requireRange(d, o, 4);
    return static_cast<std::uint32_t>(d[o]) | (static_cast<std::uint32_t>(d[o + 1]) << 8) |
           (static_cast<std::uint32_t>(d[o + 2]) << 16) | (static_cast<std::uint32_t>(d[o + 3]) << 24);
}
inline double f64(ByteView d, std::size_t o)
{
    requireRange(d, o, 8);
    double v;
    std::memcpy(&v, d.data() + o, 8);
    return v;
}

inline void put16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void putF64(Bytes& b, double v)
{
    std::uint8_t raw[8];
    std::memcpy(raw, &v, 8);
    b.insert(b.end(), raw, raw + 8);
}
inline void set16(Bytes& b, std::size_t o, std::uint16_t v)
{
    requireRange(b, o, 2);
    b[o] = static_cast<std::uint8_t>(v);
    b[o + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void set32(Bytes& b, std::size_t o, std::uint32_t v)
{
    requireRange(b, o, 4);
    for (int i = 0; i < 4; ++i)
        b[o + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace xls
