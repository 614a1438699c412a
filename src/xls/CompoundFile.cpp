#include "xls/CompoundFile.h"

#include <algorithm>
#include <map>

namespace xls {

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniCutoff = 4096;
constexpr std::size_t kMaxFileSize = std::size_t(1) << 31;
const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

[[noreturn]] void damaged(const std::string& what, std::size_t offset = Error::npos)
{
    throw Error(ErrorCode::DamagedCompoundFile, offset, what);
}

char16_t upper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

bool sameName(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return upper(x) == upper(y); });
}

// Sector reader over the file: sector n starts at (n + 1) * size.
struct Sectors {
    ByteView file;
    std::size_t size;
    std::uint32_t count;

    ByteView sector(std::uint32_t n) const
    {
        if (n >= count)
            damaged("sector " + std::to_string(n) + " beyond the " + std::to_string(count) + " in the file");
        const std::size_t begin = (static_cast<std::size_t>(n) + 1) * size;
        const std::size_t length = std::min(size, file.size() - begin);
        return file.subspan(begin, length);
    }
};

// The sectors of a chain, each used once, at most `limit` long.
std::vector<std::uint32_t> chain(const std::vector<std::uint32_t>& fat, std::uint32_t start, std::size_t limit,
                                 const char* what)
{
    std::vector<std::uint32_t> out;
    std::vector<bool> seen(fat.size(), false);
    for (std::uint32_t s = start; s != kEndOfChain;) {
        if (s >= fat.size() || s > kMaxRegSect)
            damaged(std::string(what) + " chain points at sector " + std::to_string(s));
        if (seen[s] || out.size() >= limit)
            damaged(std::string(what) + " chain loops at sector " + std::to_string(s));
        seen[s] = true;
        out.push_back(s);
        s = fat[s];
    }
    return out;
}

Bytes readChain(const Sectors& sectors, const std::vector<std::uint32_t>& fat, std::uint32_t start, std::size_t wanted,
                const char* what)
{
    Bytes out;
    if (start == kEndOfChain || wanted == 0)
        return out;
    const std::size_t limit = std::min<std::size_t>(sectors.count, wanted / sectors.size + 2);
    for (std::uint32_t s : chain(fat, start, limit, what)) {
        const ByteView data = sectors.sector(s);
        out.insert(out.end(), data.begin(), data.end());
        if (out.size() >= wanted)
            break;
    }
    if (out.size() < wanted)
        damaged(std::string(what) + " is shorter than its size");
    out.resize(wanted);
    return out;
}

}  // namespace

CompoundFile CompoundFile::parse(ByteView file)
{
    if (file.size() < 512 || !std::equal(kSignature, kSignature + 8, file.begin()))
        throw Error(ErrorCode::NotCompoundFile, "");
    if (file.size() > kMaxFileSize)
        damaged("file larger than 2 GiB");
    if (u16(file, 0x1C) != 0xFFFE)
        damaged("byte order mark", 0x1C);
    const std::uint16_t shift = u16(file, 0x1E);
    if (shift != 9 && shift != 12)
        damaged("sector size 2^" + std::to_string(shift), 0x1E);
    if (u16(file, 0x20) != 6)
        damaged("mini sector size", 0x20);
    const std::size_t sectorSize = std::size_t(1) << shift;
    if (file.size() < sectorSize)
        damaged("header sector truncated");
    Sectors sectors{file, sectorSize,
                    static_cast<std::uint32_t>((file.size() - sectorSize + sectorSize - 1) / sectorSize)};
    const std::size_t perSector = sectorSize / 4;

    // DIFAT: 109 entries in the header, then a chain of DIFAT sectors.
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < 109; ++i) {
        const std::uint32_t s = u32(file, 0x4C + 4 * i);
        if (s != kFree)
            fatSectors.push_back(s);
    }
    std::uint32_t difat = u32(file, 0x44);
    std::vector<bool> seenDifat(sectors.count, false);
    for (std::uint32_t n = 0; difat != kEndOfChain && difat != kFree; ++n) {
        if (difat >= sectors.count || seenDifat[difat])
            damaged("DIFAT chain");
        seenDifat[difat] = true;
        const ByteView d = sectors.sector(difat);
        for (std::size_t i = 0; i + 1 < perSector; ++i) {
            const std::uint32_t s = u32(d, 4 * i);
            if (s != kFree)
                fatSectors.push_back(s);
        }
        difat = u32(d, sectorSize - 4);
    }
    if (fatSectors.size() > sectors.count)
        damaged("more FAT sectors than sectors");
    std::vector<std::uint32_t> fat;
    fat.reserve(fatSectors.size() * perSector);
    for (std::uint32_t s : fatSectors) {
        const ByteView d = sectors.sector(s);
        for (std::size_t i = 0; i < perSector; ++i)
            fat.push_back(i * 4 + 4 <= d.size() ? u32(d, 4 * i) : kFree);
    }
    fat.resize(std::min<std::size_t>(fat.size(), sectors.count));

    // Directory.
    CompoundFile cf;
    const std::vector<std::uint32_t> dirChain = chain(fat, u32(file, 0x30), sectors.count, "directory");
    for (std::uint32_t s : dirChain) {
        const ByteView d = sectors.sector(s);
        for (std::size_t off = 0; off + 128 <= d.size(); off += 128) {
            Entry e;
            std::copy(d.begin() + static_cast<std::ptrdiff_t>(off), d.begin() + static_cast<std::ptrdiff_t>(off + 128),
                      e.raw.begin());
            const std::uint16_t nameBytes = std::min<std::uint16_t>(u16(e.raw, 64), 64);
            for (std::size_t i = 0; i + 1 < nameBytes; i += 2) {
                const char16_t c = static_cast<char16_t>(u16(e.raw, i));
                if (c == 0)
                    break;
                e.name.push_back(c);
            }
            e.type = e.raw[66];
            cf.entries_.push_back(e);
        }
    }
    if (cf.entries_.empty() || cf.entries_[0].type != 5)
        damaged("no root entry");

    // Mini stream and mini FAT.
    const Entry& root = cf.entries_[0];
    const Bytes ministream = readChain(sectors, fat, u32(root.raw, 116), u32(root.raw, 120), "mini stream");
    std::vector<std::uint32_t> minifat;
    {
        const std::uint32_t count = u32(file, 0x40);
        const Bytes raw = readChain(sectors, fat, u32(file, 0x3C),
                                    std::min<std::size_t>(count, sectors.count) * sectorSize, "mini FAT");
        for (std::size_t i = 0; i + 4 <= raw.size(); i += 4)
            minifat.push_back(u32(raw, i));
    }

    cf.streams_.resize(cf.entries_.size());
    for (std::size_t i = 0; i < cf.entries_.size(); ++i) {
        const Entry& e = cf.entries_[i];
        if (e.type != 2)
            continue;
        // Version 3 files carry junk in the high size word; only the low one counts.
        const std::uint32_t size = u32(e.raw, 120);
        const std::uint32_t start = u32(e.raw, 116);
        if (size > file.size())
            damaged("stream larger than the file");
        if (size < kMiniCutoff) {
            Bytes out;
            const std::size_t limit = size / 64 + 2;
            if (size > 0) {
                for (std::uint32_t s : chain(minifat, start, limit, "mini stream")) {
                    const std::size_t begin = static_cast<std::size_t>(s) * 64;
                    requireRange(ministream, begin, 64, ErrorCode::DamagedCompoundFile);
                    out.insert(out.end(), ministream.begin() + static_cast<std::ptrdiff_t>(begin),
                               ministream.begin() + static_cast<std::ptrdiff_t>(begin + 64));
                    if (out.size() >= size)
                        break;
                }
                if (out.size() < size)
                    damaged("mini stream entry shorter than its size");
                out.resize(size);
            }
            cf.streams_[i] = std::move(out);
        } else {
            cf.streams_[i] = readChain(sectors, fat, start, size, "stream");
        }
    }
    return cf;
}

int CompoundFile::findRootStream(const std::u16string& name) const
{
    // The root's children form a tree; any stream of that name whose parent is the root will do,
    // so walk the root's child tree iteratively with a visited set.
    if (entries_.empty())
        return -1;
    std::vector<std::uint32_t> todo{u32(entries_[0].raw, 76)};
    std::vector<bool> seen(entries_.size(), false);
    while (!todo.empty()) {
        const std::uint32_t id = todo.back();
        todo.pop_back();
        if (id == kNoStream || id >= entries_.size() || seen[id])
            continue;
        seen[id] = true;
        const Entry& e = entries_[id];
        if (e.type == 2 && sameName(e.name, name))
            return static_cast<int>(id);
        todo.push_back(u32(e.raw, 68));
        todo.push_back(u32(e.raw, 72));
    }
    return -1;
}

bool CompoundFile::hasEntry(const std::u16string& name) const
{
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.type != 0 && sameName(e.name, name); });
}

Bytes CompoundFile::serialize(int sectorShift) const
{
    if (sectorShift != 9 && sectorShift != 12)
        throw Error(ErrorCode::Unsupported, "sector size 2^" + std::to_string(sectorShift));
    const std::size_t kSector = std::size_t(1) << sectorShift;
    const std::size_t kPer = kSector / 4;
    std::vector<std::uint32_t> fat;  // grows as sectors are laid out
    std::vector<Bytes> body;         // the sectors after the header, in order

    auto place = [&](ByteView data) -> std::uint32_t {
        if (data.empty())
            return kEndOfChain;
        const auto first = static_cast<std::uint32_t>(body.size());
        for (std::size_t off = 0; off < data.size(); off += kSector) {
            Bytes s(kSector, 0);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(off), std::min(kSector, data.size() - off),
                        s.begin());
            body.push_back(std::move(s));
            fat.push_back(static_cast<std::uint32_t>(body.size()));
        }
        fat.back() = kEndOfChain;
        return first;
    };

    std::vector<Entry> entries = entries_;
    Bytes ministream;
    std::vector<std::uint32_t> minifat;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].type != 2)
            continue;
        const Bytes& data = streams_[i];
        std::uint32_t start = kEndOfChain;
        if (data.size() >= kMiniCutoff) {
            start = place(data);
        } else if (!data.empty()) {
            start = static_cast<std::uint32_t>(minifat.size());
            for (std::size_t off = 0; off < data.size(); off += 64) {
                Bytes granule(64, 0);
                std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(off),
                            std::min<std::size_t>(64, data.size() - off), granule.begin());
                ministream.insert(ministream.end(), granule.begin(), granule.end());
                minifat.push_back(static_cast<std::uint32_t>(minifat.size() + 1));
            }
            minifat.back() = kEndOfChain;
        }
        Bytes raw(entries[i].raw.begin(), entries[i].raw.end());
        set32(raw, 116, start);
        set32(raw, 120, static_cast<std::uint32_t>(data.size()));
        set32(raw, 124, 0);
        std::copy(raw.begin(), raw.end(), entries[i].raw.begin());
    }
    {
        Bytes raw(entries[0].raw.begin(), entries[0].raw.end());
        set32(raw, 116, place(ministream));
        set32(raw, 120, static_cast<std::uint32_t>(ministream.size()));
        set32(raw, 124, 0);
        std::copy(raw.begin(), raw.end(), entries[0].raw.begin());
    }
    Bytes minifatBytes;
    for (std::uint32_t v : minifat)
        put32(minifatBytes, v);
    const std::uint32_t minifatStart = place(minifatBytes);
    const auto minifatSectors = static_cast<std::uint32_t>((minifatBytes.size() + kSector - 1) / kSector);

    Bytes directory;
    for (const Entry& e : entries)
        directory.insert(directory.end(), e.raw.begin(), e.raw.end());
    while (directory.size() % kSector != 0) {
        Bytes unused(128, 0);
        set32(unused, 68, kNoStream);
        set32(unused, 72, kNoStream);
        set32(unused, 76, kNoStream);
        directory.insert(directory.end(), unused.begin(), unused.end());
    }
    const std::uint32_t directoryStart = place(directory);

    // FAT and DIFAT sectors map themselves too: iterate until the counts settle.
    const std::size_t dataSectors = body.size();
    std::size_t fatCount = 0;
    std::size_t difatCount = 0;
    for (;;) {
        const std::size_t total = dataSectors + fatCount + difatCount;
        const std::size_t needFat = (total + kPer - 1) / kPer;
        const std::size_t needDifat = needFat > 109 ? (needFat - 109 + kPer - 2) / (kPer - 1) : 0;
        if (needFat == fatCount && needDifat == difatCount)
            break;
        fatCount = needFat;
        difatCount = needDifat;
    }
    std::vector<std::uint32_t> fatSectorIds;
    for (std::size_t i = 0; i < fatCount; ++i) {
        fatSectorIds.push_back(static_cast<std::uint32_t>(body.size()));
        body.emplace_back(kSector, 0);
        fat.push_back(kFatSect);
    }
    std::vector<std::uint32_t> difatSectorIds;
    for (std::size_t i = 0; i < difatCount; ++i) {
        difatSectorIds.push_back(static_cast<std::uint32_t>(body.size()));
        body.emplace_back(kSector, 0);
        fat.push_back(kDifSect);
    }
    fat.resize(fatCount * kPer, kFree);
    for (std::size_t i = 0; i < fatCount; ++i) {
        Bytes& s = body[fatSectorIds[i]];
        for (std::size_t k = 0; k < kPer; ++k)
            set32(s, 4 * k, fat[i * kPer + k]);
    }
    for (std::size_t i = 0; i < difatCount; ++i) {
        Bytes& s = body[difatSectorIds[i]];
        for (std::size_t k = 0; k + 1 < kPer; ++k) {
            const std::size_t n = 109 + i * (kPer - 1) + k;
            set32(s, 4 * k, n < fatCount ? fatSectorIds[n] : kFree);
        }
        set32(s, kSector - 4, i + 1 < difatCount ? difatSectorIds[i + 1] : kEndOfChain);
    }

    // The header fills the whole first sector (4096 bytes in version 4, the rest zero).
    Bytes out(kSector, 0);
    std::copy(kSignature, kSignature + 8, out.begin());
    set16(out, 0x18, 0x003E);
    set16(out, 0x1A, sectorShift == 9 ? 3 : 4);
    set16(out, 0x1C, 0xFFFE);
    set16(out, 0x1E, static_cast<std::uint16_t>(sectorShift));
    if (sectorShift == 12)
        set32(out, 0x28, static_cast<std::uint32_t>(directory.size() / kSector));
    set16(out, 0x20, 6);
    set32(out, 0x2C, static_cast<std::uint32_t>(fatCount));
    set32(out, 0x30, directoryStart);
    set32(out, 0x38, kMiniCutoff);
    set32(out, 0x3C, minifatSectors ? minifatStart : kEndOfChain);
    set32(out, 0x40, minifatSectors);
    set32(out, 0x44, difatCount ? difatSectorIds[0] : kEndOfChain);
    set32(out, 0x48, static_cast<std::uint32_t>(difatCount));
    for (std::size_t i = 0; i < 109; ++i)
        set32(out, 0x4C + 4 * i, i < fatCount ? fatSectorIds[i] : kFree);
    out.reserve(kSector * (body.size() + 1));
    for (const Bytes& s : body)
        out.insert(out.end(), s.begin(), s.end());
    return out;
}

}  // namespace xls
