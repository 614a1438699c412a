#include "ooxml/Zip.h"

#include "ooxml/Parallel.h"
#include "xls/Error.h"

#include <libdeflate.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace ooxml {

namespace {

// Far above any form a person keeps, far below what would exhaust the machine.
constexpr std::size_t kMaxEntries = 10000;
constexpr std::uint64_t kMaxEntrySize = 256u << 20;
constexpr std::uint64_t kMaxTotalSize = 1024u << 20;

// A file in memory for minizip's file functions: read from the bytes given, or grown by writing.
struct MemoryFile {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    xls::Bytes* out = nullptr;
    std::size_t position = 0;
    bool failed = false;
};

voidpf ZCALLBACK openMemory(voidpf opaque, const void*, int)
{
    return opaque;
}

uLong ZCALLBACK readMemory(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* file = static_cast<MemoryFile*>(stream);
    const std::size_t length = file->out ? file->out->size() : file->size;
    const std::uint8_t* data = file->out ? file->out->data() : file->data;
    const std::size_t n = file->position >= length ? 0 : std::min<std::size_t>(size, length - file->position);
    if (n)
        std::memcpy(buffer, data + file->position, n);
    file->position += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK writeMemory(voidpf, voidpf stream, const void* buffer, uLong size)
{
    auto* file = static_cast<MemoryFile*>(stream);
    if (!file->out) {
        file->failed = true;
        return 0;
    }
    xls::Bytes& out = *file->out;
    if (out.size() < file->position + size)
        out.resize(file->position + size);
    std::memcpy(out.data() + file->position, buffer, size);
    file->position += size;
    return size;
}

ZPOS64_T ZCALLBACK tellMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryFile*>(stream)->position;
}

long ZCALLBACK seekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* file = static_cast<MemoryFile*>(stream);
    const std::size_t length = file->out ? file->out->size() : file->size;
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = file->position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = length;
    if (base + offset > length)
        return -1;
    file->position = static_cast<std::size_t>(base + offset);
    return 0;
}

int ZCALLBACK closeMemory(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK errorMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryFile*>(stream)->failed ? 1 : 0;
}

zlib_filefunc64_def functionsFor(MemoryFile& file)
{
    zlib_filefunc64_def f{};
    f.zopen64_file = openMemory;
    f.zread_file = readMemory;
    f.zwrite_file = writeMemory;
    f.ztell64_file = tellMemory;
    f.zseek64_file = seekMemory;
    f.zclose_file = closeMemory;
    f.zerror_file = errorMemory;
    f.opaque = &file;
    return f;
}

[[noreturn]] void damaged(const std::string& detail)
{
    throw xls::Error(xls::ErrorCode::DamagedPackage, detail);
}

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Each thread's own, made once: a batch packs and unpacks one workbook after another.
libdeflate_compressor& compressor()
{
    thread_local const std::unique_ptr<libdeflate_compressor, CompressorFree> c(libdeflate_alloc_compressor(1));
    if (!c)
        throw std::bad_alloc();
    return *c;
}

libdeflate_decompressor& decompressor()
{
    thread_local const std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
    if (!d)
        throw std::bad_alloc();
    return *d;
}

struct UnzipCloser {
    void operator()(void* z) const { unzClose(z); }
};
struct ZipCloser {
    void operator()(void* z) const { zipClose(z, nullptr); }
};

}  // namespace

bool looksLikeZip(xls::ByteView bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

std::vector<StoredEntry> zipDirectory(xls::ByteView bytes)
{
    MemoryFile file;
    file.data = bytes.data();
    file.size = bytes.size();
    zlib_filefunc64_def functions = functionsFor(file);
    const std::unique_ptr<void, UnzipCloser> zip(unzOpen2_64("", &functions));
    if (!zip)
        damaged("no zip directory");
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK)
        damaged("no zip directory");
    if (global.number_entry > kMaxEntries)
        damaged("more than " + std::to_string(kMaxEntries) + " entries");

    std::vector<StoredEntry> stored;
    std::uint64_t total = 0;
    for (int at = unzGoToFirstFile(zip.get()); at == UNZ_OK; at = unzGoToNextFile(zip.get())) {
        unz_file_info64 info{};
        char name[1024];
        if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.size_filename >= sizeof name)
            damaged("an entry's name");
        if (info.flag & 1)
            throw xls::Error(xls::ErrorCode::Encrypted, std::string("the entry ") + name + " is encrypted");
        if (info.uncompressed_size > kMaxEntrySize || (total += info.uncompressed_size) > kMaxTotalSize)
            damaged(std::string("the entry ") + name + " unpacks too large");
        StoredEntry entry;
        entry.name = name;
        int level = 0;
        if (unzOpenCurrentFile2(zip.get(), &entry.method, &level, 1) != UNZ_OK)
            damaged(std::string("the entry ") + name);
        const ZPOS64_T offset = unzGetCurrentFileZStreamPos64(zip.get());
        unzCloseCurrentFile(zip.get());
        if (offset > bytes.size() || info.compressed_size > bytes.size() - offset)
            damaged(std::string("the entry ") + name + " is cut short");
        entry.bytes = std::string_view(reinterpret_cast<const char*>(bytes.data()) + offset,
                                       static_cast<std::size_t>(info.compressed_size));
        if (entry.method != 0 && entry.method != Z_DEFLATED)
            damaged(std::string("the entry ") + name + " is packed by a method other than deflate");
        entry.size = info.uncompressed_size;
        entry.crc = info.crc;
        stored.push_back(std::move(entry));
        if (stored.size() > kMaxEntries)
            damaged("more than " + std::to_string(kMaxEntries) + " entries");
    }
    return stored;
}

// Each entry all at once, to exactly the size the directory gives (a byte more or less is damage),
// its CRC checked.
std::string unpack(const StoredEntry& from)
{
    std::string data;
    bool whole = true;
    if (from.method == Z_DEFLATED) {
        data.resize(static_cast<std::size_t>(from.size));
        std::size_t unpacked = 0;
        whole = libdeflate_deflate_decompress(&decompressor(), from.bytes.data(), from.bytes.size(), data.data(),
                                              data.size(), &unpacked) == LIBDEFLATE_SUCCESS &&
                unpacked == data.size();
    } else {
        whole = from.bytes.size() == from.size;
        data = from.bytes;
    }
    if (!whole || libdeflate_crc32(0, data.data(), data.size()) != from.crc)
        damaged("the entry " + from.name + " does not unpack as its directory says");
    return data;
}

std::vector<ZipEntry> readZip(xls::ByteView bytes)
{
    // Where each entry's bytes are stored is found one after another, then the entries are unpacked
    // side by side from there.
    const std::vector<StoredEntry> stored = zipDirectory(bytes);
    std::vector<ZipEntry> entries(stored.size());
    std::vector<std::size_t> sizes;
    for (const StoredEntry& s : stored)
        sizes.push_back(static_cast<std::size_t>(s.size));
    forEachInParallel(sizes, [&](std::size_t k) {
        entries[k].name = stored[k].name;
        entries[k].data = unpack(stored[k]);
    });
    return entries;
}

PackedEntry pack(std::string name, std::string_view data)
{
    // Deflated into a buffer each thread keeps, which grows to the largest part once, then copied
    // out at its packed size.
    thread_local std::string scratch;
    const std::size_t bound = libdeflate_deflate_compress_bound(&compressor(), data.size());
    if (scratch.size() < bound)
        scratch.resize(bound);
    PackedEntry entry;
    entry.name = std::move(name);
    entry.bytes.assign(scratch.data(), libdeflate_deflate_compress(&compressor(), data.data(), data.size(),
                                                                   scratch.data(), scratch.size()));
    entry.size = data.size();
    entry.crc = static_cast<unsigned long>(libdeflate_crc32(0, data.data(), data.size()));
    return entry;
}

xls::Bytes writeZip(const std::vector<ZipEntry>& entries)
{
    std::vector<PackedEntry> packed(entries.size());
    std::vector<std::size_t> sizes;
    for (const ZipEntry& e : entries)
        sizes.push_back(e.data.size());
    forEachInParallel(sizes, [&](std::size_t k) { packed[k] = pack(entries[k].name, entries[k].data); });
    return writePackedZip(packed);
}

xls::Bytes writePackedZip(const std::vector<PackedEntry>& entries)
{
    xls::Bytes out;
    MemoryFile file;
    file.out = &out;
    zlib_filefunc64_def functions = functionsFor(file);
    std::unique_ptr<void, ZipCloser> zip(zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &functions));
    if (!zip)
        throw xls::Error(xls::ErrorCode::FileError, "the package could not be started");
    zip_fileinfo info{};
    info.tmz_date.tm_year = 1980;
    info.tmz_date.tm_mday = 1;
    for (const PackedEntry& e : entries) {
        if (e.name.empty() || e.name.size() >= 0xFFFF)
            throw xls::Error(xls::ErrorCode::FileError, "an entry name of " + std::to_string(e.name.size()) + " bytes");
        // Handed to the archive as they are to be stored.
        if (e.bytes.empty() ||
            zipOpenNewFileInZip2_64(zip.get(), e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1,
                                    0) != ZIP_OK ||
            zipWriteInFileInZip(zip.get(), e.bytes.data(), static_cast<unsigned>(e.bytes.size())) != ZIP_OK ||
            zipCloseFileInZipRaw64(zip.get(), e.size, e.crc) != ZIP_OK)
            throw xls::Error(xls::ErrorCode::FileError, "the entry " + e.name + " could not be packed");
    }
    if (zipClose(zip.release(), nullptr) != ZIP_OK || file.failed)
        throw xls::Error(xls::ErrorCode::FileError, "the package could not be finished");
    return out;
}

}  // namespace ooxml
