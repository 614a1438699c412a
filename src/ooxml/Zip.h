// Zip: the container of an Office Open XML package, read from bytes into its entries and written
// back from them, in memory, through minizip, each entry packed and unpacked whole by libdeflate.
// Reading is bounded (entry count and sizes), so a crafted archive cannot make the program unpack
// without end.
#pragma once

#include "xls/Bytes.h"

#include <string>
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

// An archive of the entries in that order, deflated at libdeflate's fastest level (XML packs well
// even so, and a batch spends much of its time here), every time stamp the same: equal entries
// give equal bytes.
xls::Bytes writeZip(const std::vector<ZipEntry>& entries);

}  // namespace ooxml
