#include "xls/CompoundFile.h"

#include "xls/Text.h"

#include <algorithm>

namespace xls {

namespace {

// ---------------------------------------------------------------------------------------------
// The format's constants ([MS-CFB] 2.2 and 2.6)
// ---------------------------------------------------------------------------------------------

constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMiniCutoff = 4096;
constexpr std::size_t kMiniSector = 64;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kMaxFileSize = std::size_t(1) << 31;
const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// The header's fields, by offset.
namespace header {
constexpr std::size_t kMinorVersion = 0x18, kMajorVersion = 0x1A, kByteOrder = 0x1C, kSectorShift = 0x1E,
                      kMiniSectorShift = 0x20, kDirectorySectors = 0x28, kFatSectors = 0x2C, kFirstDirectory = 0x30,
                      kMiniCutoffField = 0x38, kFirstMiniFat = 0x3C, kMiniFatSectors = 0x40, kFirstDifat = 0x44,
                      kDifatSectors = 0x48, kDifat = 0x4C;
}  // namespace header

// A directory entry's fields, by offset within its 128 bytes.
namespace entry {
constexpr std::size_t kSize = 128, kName = 0, kNameLength = 64, kType = 66, kLeft = 68, kRight = 72, kChild = 76,
                      kColour = 67, kStart = 116, kStreamSize = 120, kStreamSizeHigh = 124;
constexpr std::uint8_t kStorage = 1, kStream = 2, kRoot = 5, kBlack = 1;
}  // namespace entry

using RawEntry = std::array<std::uint8_t, entry::kSize>;

void setEntry32(RawEntry& raw, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        raw[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

[[noreturn]] void damaged(const std::string& what, std::size_t offset = Error::npos)
{
    throw Error(ErrorCode::DamagedCompoundFile, offset, what);
}

// Stream names compare as the format compares them: without regard to case.
bool sameName(const std::u16string& a, const std::u16string& b)
{
    return sameText(a, b);
}

// ---------------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------------

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

// Whether a chain may hold less than the size its entry states.
enum class Shortfall { Damaged, KeepWhatIsThere };

Bytes readChain(const Sectors& sectors, const std::vector<std::uint32_t>& fat, std::uint32_t start, std::size_t wanted,
                const char* what, Shortfall shortfall = Shortfall::Damaged)
{
    Bytes out;
    if (start == kEndOfChain || wanted == 0)
        return out;
    out.reserve(std::min(wanted, sectors.file.size()));
    const std::size_t limit = std::min<std::size_t>(sectors.count, wanted / sectors.size + 2);
    for (std::uint32_t s : chain(fat, start, limit, what)) {
        // Of the last sector only what the size takes, so the bytes stay within what was reserved.
        const ByteView sector = sectors.sector(s);
        const ByteView data = sector.first(std::min(sector.size(), wanted - out.size()));
        out.insert(out.end(), data.begin(), data.end());
        if (out.size() >= wanted)
            break;
    }
    if (out.size() < wanted && shortfall == Shortfall::Damaged)
        damaged(std::string(what) + " is shorter than its size");
    return out;
}

// The header's checks; the sector size and the file's sectors.
Sectors readHeader(ByteView file)
{
    if (file.size() < 512 || !std::equal(kSignature, kSignature + 8, file.begin()))
        throw Error(ErrorCode::NotCompoundFile, "");
    if (file.size() > kMaxFileSize)
        damaged("file larger than 2 GiB");
    if (u16(file, header::kByteOrder) != 0xFFFE)
        damaged("byte order mark", header::kByteOrder);
    const std::uint16_t shift = u16(file, header::kSectorShift);
    if (shift != 9 && shift != 12)
        damaged("sector size 2^" + std::to_string(shift), header::kSectorShift);
    if (u16(file, header::kMiniSectorShift) != 6)
        damaged("mini sector size", header::kMiniSectorShift);
    const std::size_t size = std::size_t(1) << shift;
    if (file.size() < size)
        damaged("header sector truncated");
    return {file, size, static_cast<std::uint32_t>((file.size() - size + size - 1) / size)};
}

// The FAT sectors: 109 in the header, then a chain of DIFAT sectors, each ending in the next one's.
std::vector<std::uint32_t> readDifat(const Sectors& sectors)
{
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) {
        const std::uint32_t s = u32(sectors.file, header::kDifat + 4 * i);
        if (s != kFree)
            fatSectors.push_back(s);
    }
    const std::size_t perSector = sectors.size / 4;
    std::vector<bool> seen(sectors.count, false);
    for (std::uint32_t difat = u32(sectors.file, header::kFirstDifat); difat != kEndOfChain && difat != kFree;) {
        if (difat >= sectors.count || seen[difat])
            damaged("DIFAT chain");
        seen[difat] = true;
        const ByteView d = sectors.sector(difat);
        for (std::size_t i = 0; i + 1 < perSector; ++i) {
            const std::uint32_t s = u32(d, 4 * i);
            if (s != kFree)
                fatSectors.push_back(s);
        }
        difat = u32(d, sectors.size - 4);
    }
    if (fatSectors.size() > sectors.count)
        damaged("more FAT sectors than sectors");
    return fatSectors;
}

std::vector<std::uint32_t> readFat(const Sectors& sectors, const std::vector<std::uint32_t>& fatSectors)
{
    const std::size_t perSector = sectors.size / 4;
    std::vector<std::uint32_t> fat;
    fat.reserve(fatSectors.size() * perSector);
    for (std::uint32_t s : fatSectors) {
        const ByteView d = sectors.sector(s);
        for (std::size_t i = 0; i < perSector; ++i)
            fat.push_back(i * 4 + 4 <= d.size() ? u32(d, 4 * i) : kFree);
    }
    fat.resize(std::min<std::size_t>(fat.size(), sectors.count));
    return fat;
}

// A stream below the cutoff, from the mini stream through the mini FAT.
Bytes readMiniStream(const Bytes& ministream, const std::vector<std::uint32_t>& minifat, std::uint32_t start,
                     std::uint32_t size)
{
    Bytes out;
    if (size == 0)
        return out;
    for (std::uint32_t s : chain(minifat, start, size / kMiniSector + 2, "mini stream")) {
        const std::size_t begin = static_cast<std::size_t>(s) * kMiniSector;
        requireRange(ministream, begin, kMiniSector, ErrorCode::DamagedCompoundFile);
        out.insert(out.end(), ministream.begin() + static_cast<std::ptrdiff_t>(begin),
                   ministream.begin() + static_cast<std::ptrdiff_t>(begin + kMiniSector));
        if (out.size() >= size)
            break;
    }
    if (out.size() < size)
        damaged("mini stream entry shorter than its size");
    out.resize(size);
    return out;
}

}  // namespace

CompoundFile CompoundFile::parse(ByteView file)
{
    const Sectors sectors = readHeader(file);
    const std::vector<std::uint32_t> fat = readFat(sectors, readDifat(sectors));
    CompoundFile cf;
    cf.readDirectory(sectors.file, fat, sectors.size, sectors.count);
    cf.readStreams(file, fat, sectors.size, sectors.count);
    return cf;
}

void CompoundFile::readDirectory(ByteView file, const std::vector<std::uint32_t>& fat, std::size_t sectorSize,
                                 std::uint32_t sectorCount)
{
    const Sectors sectors{file, sectorSize, sectorCount};
    for (std::uint32_t s : chain(fat, u32(file, header::kFirstDirectory), sectorCount, "directory")) {
        const ByteView d = sectors.sector(s);
        for (std::size_t off = 0; off + entry::kSize <= d.size(); off += entry::kSize) {
            Entry e;
            std::copy_n(d.begin() + static_cast<std::ptrdiff_t>(off), entry::kSize, e.raw.begin());
            const std::uint16_t nameBytes = std::min<std::uint16_t>(u16(e.raw, entry::kNameLength), 64);
            for (std::size_t i = 0; i + 1 < nameBytes; i += 2) {
                const auto c = static_cast<char16_t>(u16(e.raw, entry::kName + i));
                if (c == 0)
                    break;
                e.name.push_back(c);
            }
            e.type = e.raw[entry::kType];
            entries_.push_back(e);
        }
    }
    if (entries_.empty() || entries_[0].type != entry::kRoot)
        damaged("no root entry");
}

void CompoundFile::readStreams(ByteView file, const std::vector<std::uint32_t>& fat, std::size_t sectorSize,
                               std::uint32_t sectorCount)
{
    const Sectors sectors{file, sectorSize, sectorCount};
    // The root entry's chain is the mini stream; the mini FAT has a chain of its own. Some writers
    // state a mini stream size far larger than its chain holds; the readers take the chain as it
    // is, and each small stream is still checked against what the chain holds.
    const Entry& root = entries_[0];
    const Bytes ministream = readChain(sectors, fat, u32(root.raw, entry::kStart), u32(root.raw, entry::kStreamSize),
                                       "mini stream", Shortfall::KeepWhatIsThere);
    std::vector<std::uint32_t> minifat;
    const Bytes rawMinifat =
        readChain(sectors, fat, u32(file, header::kFirstMiniFat),
                  std::min<std::size_t>(u32(file, header::kMiniFatSectors), sectorCount) * sectorSize, "mini FAT");
    for (std::size_t i = 0; i + 4 <= rawMinifat.size(); i += 4)
        minifat.push_back(u32(rawMinifat, i));

    streams_.resize(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.type != entry::kStream)
            continue;
        // Version 3 files carry junk in the high size word; only the low one counts.
        const std::uint32_t size = u32(e.raw, entry::kStreamSize);
        const std::uint32_t start = u32(e.raw, entry::kStart);
        if (size > file.size())
            damaged("stream larger than the file");
        streams_[i] = size < kMiniCutoff ? readMiniStream(ministream, minifat, start, size)
                                         : readChain(sectors, fat, start, size, "stream");
    }
}

int CompoundFile::findRootStream(const std::u16string& name) const
{
    return findRootChild(name, true);
}

int CompoundFile::findRootEntry(const std::u16string& name) const
{
    return findRootChild(name, false);
}

int CompoundFile::findRootChild(const std::u16string& name, bool streamsOnly) const
{
    // The root's children form a tree; any entry of that name whose parent is the root will do,
    // so walk the root's child tree iteratively with a visited set.
    if (entries_.empty())
        return -1;
    std::vector<std::uint32_t> todo{u32(entries_[0].raw, entry::kChild)};
    std::vector<bool> seen(entries_.size(), false);
    while (!todo.empty()) {
        const std::uint32_t id = todo.back();
        todo.pop_back();
        if (id == kNoStream || id >= entries_.size() || seen[id])
            continue;
        seen[id] = true;
        const Entry& e = entries_[id];
        const bool kind = e.type == entry::kStream || (!streamsOnly && e.type == entry::kStorage);
        if (kind && sameName(e.name, name))
            return static_cast<int>(id);
        todo.push_back(u32(e.raw, entry::kLeft));
        todo.push_back(u32(e.raw, entry::kRight));
    }
    return -1;
}

void CompoundFile::removeRootEntry(int id)
{
    const auto removed = static_cast<std::uint32_t>(id);
    if (entries_.empty() || removed == 0 || removed >= entries_.size())
        throw Error(ErrorCode::Unsupported, "no directory entry " + std::to_string(id));

    // The root's children in the tree's own order (left, node, right), each visited once.
    std::vector<std::uint32_t> ordered;
    std::vector<bool> seen(entries_.size(), false);
    std::vector<std::uint32_t> path;
    std::uint32_t node = u32(entries_[0].raw, entry::kChild);
    auto usable = [&](std::uint32_t n) { return n != kNoStream && n < entries_.size() && !seen[n]; };
    while (usable(node) || !path.empty()) {
        while (usable(node)) {
            seen[node] = true;
            path.push_back(node);
            node = u32(entries_[node].raw, entry::kLeft);
        }
        node = path.back();
        path.pop_back();
        if (node != removed)
            ordered.push_back(node);
        node = u32(entries_[node].raw, entry::kRight);
    }

    // Linked again as a balanced tree; a tree of black nodes only is a valid red-black tree to the
    // format's readers.
    auto link = [&](auto& self, std::size_t begin, std::size_t end) -> std::uint32_t {
        if (begin == end)
            return kNoStream;
        const std::size_t middle = begin + (end - begin) / 2;
        Entry& e = entries_[ordered[middle]];
        const std::uint32_t left = self(self, begin, middle);
        const std::uint32_t right = self(self, middle + 1, end);
        setEntry32(e.raw, entry::kLeft, left);
        setEntry32(e.raw, entry::kRight, right);
        e.raw[entry::kColour] = entry::kBlack;
        return ordered[middle];
    };
    setEntry32(entries_[0].raw, entry::kChild, link(link, 0, ordered.size()));

    // The entry and, for a storage, every entry below it (its children's trees, each visited once).
    std::vector<std::uint32_t> gone{removed};
    std::vector<std::uint32_t> below{u32(entries_[removed].raw, entry::kChild)};
    std::vector<bool> taken(entries_.size(), false);
    taken[removed] = true;
    while (!below.empty()) {
        const std::uint32_t n = below.back();
        below.pop_back();
        if (n == kNoStream || n == 0 || n >= entries_.size() || taken[n])
            continue;
        taken[n] = true;
        gone.push_back(n);
        for (const std::size_t link : {entry::kLeft, entry::kRight, entry::kChild})
            below.push_back(u32(entries_[n].raw, link));
    }
    Entry unused;
    setEntry32(unused.raw, entry::kLeft, kNoStream);
    setEntry32(unused.raw, entry::kRight, kNoStream);
    setEntry32(unused.raw, entry::kChild, kNoStream);
    for (const std::uint32_t n : gone) {
        entries_[n] = unused;
        streams_[n].clear();
    }
}

bool CompoundFile::hasEntry(const std::u16string& name) const
{
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const Entry& e) { return e.type != 0 && sameName(e.name, name); });
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

namespace {

// The new file as it is laid out: the header sector first, then each sector at (n + 1) * size,
// with the FAT that chains them.
struct Layout {
    std::size_t sector;
    std::vector<std::uint32_t> fat;
    Bytes file;

    explicit Layout(std::size_t sectorSize) : sector(sectorSize), file(sectorSize, 0) {}
    std::uint32_t sectors() const { return static_cast<std::uint32_t>(file.size() / sector - 1); }

    // Appends the data in whole sectors, chained; returns its first sector.
    std::uint32_t place(ByteView data)
    {
        if (data.empty())
            return kEndOfChain;
        const std::uint32_t first = sectors();
        file.insert(file.end(), data.begin(), data.end());
        file.resize((file.size() + sector - 1) / sector * sector, 0);
        for (std::uint32_t s = first + 1; s < sectors(); ++s)
            fat.push_back(s);
        fat.push_back(kEndOfChain);
        return first;
    }
    std::uint32_t addEmpty(std::uint32_t mark)
    {
        const std::uint32_t n = sectors();
        file.resize(file.size() + sector, 0);
        fat.push_back(mark);
        return n;
    }
    std::size_t offsetOf(std::uint32_t n) const { return (static_cast<std::size_t>(n) + 1) * sector; }
};

// The mini stream and mini FAT that hold the small streams.
struct MiniLayout {
    Bytes stream;
    std::vector<std::uint32_t> fat;

    std::uint32_t place(const Bytes& data)
    {
        const auto start = static_cast<std::uint32_t>(fat.size());
        stream.insert(stream.end(), data.begin(), data.end());
        stream.resize((stream.size() + kMiniSector - 1) / kMiniSector * kMiniSector, 0);
        while (fat.size() < stream.size() / kMiniSector)
            fat.push_back(static_cast<std::uint32_t>(fat.size() + 1));
        fat.back() = kEndOfChain;
        return start;
    }
};

void setPlacement(RawEntry& raw, std::uint32_t start, std::size_t size)
{
    setEntry32(raw, entry::kStart, start);
    setEntry32(raw, entry::kStreamSize, static_cast<std::uint32_t>(size));
    setEntry32(raw, entry::kStreamSizeHigh, 0);
}

// FAT and DIFAT sectors map themselves too: their counts grow until they settle.
struct FatSectors {
    std::vector<std::uint32_t> fat;
    std::vector<std::uint32_t> difat;
};

FatSectors appendFat(Layout& l)
{
    const std::size_t per = l.sector / 4;
    const std::size_t dataSectors = l.sectors();
    std::size_t fatCount = 0, difatCount = 0;
    for (;;) {
        const std::size_t total = dataSectors + fatCount + difatCount;
        const std::size_t needFat = (total + per - 1) / per;
        const std::size_t needDifat =
            needFat > kHeaderDifatEntries ? (needFat - kHeaderDifatEntries + per - 2) / (per - 1) : 0;
        if (needFat == fatCount && needDifat == difatCount)
            break;
        fatCount = needFat;
        difatCount = needDifat;
    }
    FatSectors ids;
    for (std::size_t i = 0; i < fatCount; ++i)
        ids.fat.push_back(l.addEmpty(kFatSect));
    for (std::size_t i = 0; i < difatCount; ++i)
        ids.difat.push_back(l.addEmpty(kDifSect));
    l.fat.resize(fatCount * per, kFree);
    for (std::size_t i = 0; i < fatCount; ++i)
        for (std::size_t k = 0; k < per; ++k)
            set32(l.file, l.offsetOf(ids.fat[i]) + 4 * k, l.fat[i * per + k]);
    for (std::size_t i = 0; i < difatCount; ++i) {
        const std::size_t at = l.offsetOf(ids.difat[i]);
        for (std::size_t k = 0; k + 1 < per; ++k) {
            const std::size_t n = kHeaderDifatEntries + i * (per - 1) + k;
            set32(l.file, at + 4 * k, n < fatCount ? ids.fat[n] : kFree);
        }
        set32(l.file, at + l.sector - 4, i + 1 < difatCount ? ids.difat[i + 1] : kEndOfChain);
    }
    return ids;
}

struct HeaderFields {
    std::uint32_t directoryStart;
    std::size_t directorySectors;
    std::uint32_t minifatStart;
    std::uint32_t minifatSectors;
};

// The header fills the whole first sector (4096 bytes in version 4, the rest zero).
void writeHeader(Bytes& out, int sectorShift, const HeaderFields& h, const FatSectors& ids)
{
    std::copy(kSignature, kSignature + 8, out.begin());
    set16(out, header::kMinorVersion, 0x003E);
    set16(out, header::kMajorVersion, sectorShift == 9 ? 3 : 4);
    set16(out, header::kByteOrder, 0xFFFE);
    set16(out, header::kSectorShift, static_cast<std::uint16_t>(sectorShift));
    if (sectorShift == 12)
        set32(out, header::kDirectorySectors, static_cast<std::uint32_t>(h.directorySectors));
    set16(out, header::kMiniSectorShift, 6);
    set32(out, header::kFatSectors, static_cast<std::uint32_t>(ids.fat.size()));
    set32(out, header::kFirstDirectory, h.directoryStart);
    set32(out, header::kMiniCutoffField, kMiniCutoff);
    set32(out, header::kFirstMiniFat, h.minifatSectors ? h.minifatStart : kEndOfChain);
    set32(out, header::kMiniFatSectors, h.minifatSectors);
    set32(out, header::kFirstDifat, ids.difat.empty() ? kEndOfChain : ids.difat[0]);
    set32(out, header::kDifatSectors, static_cast<std::uint32_t>(ids.difat.size()));
    for (std::size_t i = 0; i < kHeaderDifatEntries; ++i)
        set32(out, header::kDifat + 4 * i, i < ids.fat.size() ? ids.fat[i] : kFree);
}

}  // namespace

Bytes CompoundFile::serialize(int sectorShift) const
{
    return serializeWith(-1, {}, sectorShift);
}

Bytes CompoundFile::serializeWith(int replaced, const Bytes& replacement, int sectorShift) const
{
    if (sectorShift != 9 && sectorShift != 12)
        throw Error(ErrorCode::Unsupported, "sector size 2^" + std::to_string(sectorShift));
    auto streamAt = [&](std::size_t i) -> const Bytes& {
        return static_cast<int>(i) == replaced ? replacement : streams_[i];
    };
    Layout layout(std::size_t(1) << sectorShift);
    std::size_t total = 0;
    for (std::size_t i = 0; i < streams_.size(); ++i)
        total += streamAt(i).size();
    layout.file.reserve(total + total / 64 + 8 * layout.sector);

    // The streams: large ones in sectors of their own, small ones in the mini stream.
    std::vector<Entry> entries = entries_;
    MiniLayout mini;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].type != entry::kStream)
            continue;
        const Bytes& data = streamAt(i);
        const std::uint32_t start = data.size() >= kMiniCutoff ? layout.place(data)
                                    : data.empty()             ? kEndOfChain
                                                               : mini.place(data);
        setPlacement(entries[i].raw, start, data.size());
    }
    setPlacement(entries[0].raw, layout.place(mini.stream), mini.stream.size());
    Bytes minifatBytes;
    for (std::uint32_t v : mini.fat)
        put32(minifatBytes, v);
    HeaderFields h{};
    h.minifatStart = layout.place(minifatBytes);
    h.minifatSectors = static_cast<std::uint32_t>((minifatBytes.size() + layout.sector - 1) / layout.sector);

    // The directory as it was, unused slots filling its last sector.
    Bytes directory;
    for (const Entry& e : entries)
        directory.insert(directory.end(), e.raw.begin(), e.raw.end());
    while (directory.size() % layout.sector != 0) {
        Bytes unused(entry::kSize, 0);
        set32(unused, entry::kLeft, kNoStream);
        set32(unused, entry::kRight, kNoStream);
        set32(unused, entry::kChild, kNoStream);
        directory.insert(directory.end(), unused.begin(), unused.end());
    }
    h.directoryStart = layout.place(directory);
    h.directorySectors = directory.size() / layout.sector;

    const FatSectors ids = appendFat(layout);
    writeHeader(layout.file, sectorShift, h, ids);
    return std::move(layout.file);
}

}  // namespace xls
