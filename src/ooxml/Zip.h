// Zip: the container of an Office Open XML package, read from bytes into its entries and written
// back from them, in memory, through minizip, each entry packed and unpacked whole by libdeflate.
// Reading is bounded (entry count and sizes), so a crafted archive cannot make the program unpack
// without end.
#pragma once

#include "xls/Bytes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ooxml {

struct ZipEntry {
    std::string name;  // the entry's name as stored, e.g. "xl/workbook.xml"
    std::string data;  // its bytes, uncompressed
};

// Whether the bytes start like a zip archive (a local file header).
bool looksLikeZip(xls::ByteView bytes);

// Every entry, in the archive's order; throws xls::Error (DamagedPackage) on a damaged or
// over-large archive, Encrypted on an entry encrypted by the archive itself.
std::vector<ZipEntry> readZip(xls::ByteView bytes);

// Where an entry's bytes are in the archive, as its directory tells.
struct StoredEntry {
    std::string name;
    std::string_view bytes;  // as stored, within the archive's bytes
    int method = 0;
    std::uint64_t size = 0;  // unpacked
    unsigned long crc = 0;
};
// The entries the archive's directory lists, in its order, bounded and checked as readZip does
// (and throwing as it does); each to be unpacked with unpack(), which throws DamagedPackage where
// an entry does not unpack to the size and CRC its directory gives.
std::vector<StoredEntry> zipDirectory(xls::ByteView bytes);
std::string unpack(const StoredEntry& entry);

// An entry deflated at libdeflate's fastest level (XML packs well even so, and a batch spends much
// of its time here), ready to be stored.
struct PackedEntry {
    std::string name;
    std::string bytes;     // deflated
    std::size_t size = 0;  // unpacked
    unsigned long crc = 0;
};
PackedEntry pack(std::string name, std::string_view data);

// An archive of the entries in that order, every time stamp the same: equal entries give equal
// bytes. The first packs the entries side by side; the second stores them as packed.
xls::Bytes writeZip(const std::vector<ZipEntry>& entries);
xls::Bytes writePackedZip(const std::vector<PackedEntry>& entries);

}  // namespace ooxml
