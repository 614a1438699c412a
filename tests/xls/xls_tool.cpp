// A small command over the engine for the tests and by hand:
//   xls_tool roundtrip IN OUT             parse and save without edits
//   xls_tool copyall IN OUT               copy every worksheet to the end, rename the copies,
//                                         write text, numbers, dates and blanks into them
//   xls_tool copyonly IN OUT              the same without writing cells
//   xls_tool stream IN OUT                the Workbook stream's bytes
//   xls_tool v4 IN OUT                    the same container with 4096-byte sectors
//   xls_tool pack IN STREAM OUT           IN's container with STREAM's bytes as its Workbook stream
#include "xls/CompoundFile.h"
#include "xls/Workbook.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

xls::Bytes readAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw xls::Error(xls::ErrorCode::FileError, path);
    return xls::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(const char* path, const xls::Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void copyAll(xls::Workbook& wb, bool writeCells)
{
    const int n = wb.sheetCount();
    for (int p = 1; p <= n; ++p) {
        int at = 0;
        try {
            at = wb.copySheetToEnd(p);
        } catch (const xls::Error& e) {
            std::fprintf(stderr, "skip sheet %d: %s\n", p, e.what());
            continue;
        }
        wb.renameSheet(at, u"コピー" + std::u16string(1, static_cast<char16_t>(u'0' + p)));
        if (!writeCells)
            continue;
        wb.setCell(at, "A1", xls::CellValue::fromText(u"書き込み"));
        wb.setCell(at, "B2", xls::CellValue::fromText(u"12.5"));
        wb.setCell(at, "C3", xls::CellValue::fromText(u"00123"));
        wb.setCell(at, "D4", xls::CellValue::fromDate(2024, 1, 5));
        wb.setCell(at, "E5", xls::CellValue::fromNumber(-3.25));
        wb.setCell(at, "F6", xls::CellValue::empty());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::string verb = argv[1];
    try {
        if (verb == "stream") {
            const xls::CompoundFile cf = xls::CompoundFile::parse(readAll(argv[2]));
            writeAll(argv[3], cf.stream(cf.findRootStream(u"Workbook")));
            return 0;
        }
        if (verb == "pack" && argc >= 5) {
            xls::CompoundFile cf = xls::CompoundFile::parse(readAll(argv[2]));
            cf.setStream(cf.findRootStream(u"Workbook"), readAll(argv[3]));
            writeAll(argv[4], cf.serialize());
            return 0;
        }
        if (verb == "v4") {
            writeAll(argv[3], xls::CompoundFile::parse(readAll(argv[2])).serialize(12));
            return 0;
        }
        xls::Workbook wb = xls::Workbook::open(argv[2]);
        if (verb == "copyall" || verb == "copyonly")
            copyAll(wb, verb == "copyall");
        const xls::Bytes saved = wb.saveToBytes();
        writeAll(argv[3], saved);
        // What the engine writes it must read back as meant.
        const std::vector<std::string> differences = wb.verify(saved);
        for (const std::string& difference : differences)
            std::fprintf(stderr, "self-check: %s\n", difference.c_str());
        if (!differences.empty())
            return 3;
    } catch (const xls::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
