#include "xls/Record.h"

namespace xls {

std::vector<Record> parseRecords(ByteView stream)
{
    std::vector<Record> records;
    std::size_t pos = 0;
    int depth = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t type = u16(stream, pos);
        const std::uint16_t length = u16(stream, pos + 2);
        if (type == 0 && length == 0 && depth == 0)
            break;  // padding after the last substream
        if (pos + 4 + length > stream.size())
            throw Error(
                ErrorCode::DamagedRecord, pos,
                "record " + hex(type) + " of " + std::to_string(length) + " bytes runs past the end of the stream");
        // Longer records do not exist in the format; readers read past them into garbage.
        if (length > kMaxRecordData)
            throw Error(ErrorCode::DamagedRecord, pos,
                        "record " + hex(type) + " of " + std::to_string(length) + " bytes, more than a record holds");
        Record r;
        r.type = type;
        r.offset = pos;
        r.data.assign(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                      stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + length));
        if (type == rt::Bof)
            ++depth;
        else if (type == rt::Eof && depth > 0)
            --depth;
        records.push_back(std::move(r));
        pos += 4 + length;
    }
    return records;
}

void appendRecord(Bytes& out, std::uint16_t type, ByteView data)
{
    put16(out, type);
    put16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

std::vector<Record> splitRecord(std::uint16_t type, ByteView data)
{
    std::vector<Record> out;
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min(kMaxRecordData, data.size() - pos);
        Record r;
        r.type = out.empty() ? type : rt::Continue;
        r.data.assign(data.begin() + static_cast<std::ptrdiff_t>(pos),
                      data.begin() + static_cast<std::ptrdiff_t>(pos + n));
        out.push_back(std::move(r));
        pos += n;
    } while (pos < data.size());
    return out;
}

}  // namespace xls
