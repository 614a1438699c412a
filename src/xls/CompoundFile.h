// CompoundFile: the OLE2 container an .xls lives in. Reads 512- and 4096-byte-sector files (FAT,
// DIFAT, mini stream, directory), keeps every directory entry as it was, and writes a new
// container in which only the streams' placement changes. Every chain walk is
// capped at the number of sectors and checked for loops, so a damaged file is an Error.
#pragma once

#include "xls/Bytes.h"

#include <array>
#include <string>
#include <vector>

namespace xls {

class CompoundFile {
public:
    static CompoundFile parse(ByteView file);
    // Version 3 (512-byte sectors). Shift 12 writes version 4 (4096-byte sectors); that serves the
    // tests of the reader: xlrd and LibreOffice do not open it, gnumeric does.
    Bytes serialize(int sectorShift = 9) const;
    // The same with the data of one stream (entry) replaced, the container itself unchanged.
    Bytes serializeWith(int entry, const Bytes& data, int sectorShift = 9) const;

    // The stream of that name directly under the root, matched without regard to case; -1 if none.
    int findRootStream(const std::u16string& name) const;
    // The same for a stream or a storage.
    int findRootEntry(const std::u16string& name) const;
    // Whether any entry (stream or storage, anywhere) has that name, without regard to case.
    bool hasEntry(const std::u16string& name) const;
    const Bytes& stream(int entry) const { return streams_.at(static_cast<std::size_t>(entry)); }
    void setStream(int entry, Bytes data) { streams_.at(static_cast<std::size_t>(entry)) = std::move(data); }
    // Takes a stream or storage directly under the root out of the container, a storage with
    // everything in it: their entries become unused and the root's other children are linked
    // again, in their order, as a balanced tree of black nodes.
    void removeRootEntry(int entry);

private:
    int findRootChild(const std::u16string& name, bool streamsOnly) const;
    void readDirectory(ByteView file, const std::vector<std::uint32_t>& fat, std::size_t sectorSize,
                       std::uint32_t sectorCount);
    void readStreams(ByteView file, const std::vector<std::uint32_t>& fat, std::size_t sectorSize,
                     std::uint32_t sectorCount);

    struct Entry {
        std::array<std::uint8_t, 128> raw{};
        std::u16string name;
        std::uint8_t type = 0;  // 0 unused, 1 storage, 2 stream, 5 root
    };
    std::vector<Entry> entries_;
    std::vector<Bytes> streams_;  // one per entry; empty for all but streams
};

}  // namespace xls
