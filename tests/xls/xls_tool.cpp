// A small command over the engine for the tests and by hand:
//   xls_tool roundtrip IN OUT             parse and save without edits
//   xls_tool copyall IN OUT               copy every worksheet to the end, rename the copies,
//                                         write text, numbers, dates and blanks into them
//   xls_tool copyonly IN OUT              the same without writing cells
//   xls_tool stream IN OUT                the Workbook stream's bytes
//   xls_tool v4 IN OUT                    the same container with 4096-byte sectors
#include "xls/CompoundFile.h"
#include "xls/Workbook.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::string verb = argv[1];
    try {
        if (verb == "stream") {
            std::ifstream in(argv[2], std::ios::binary);
            const xls::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const xls::CompoundFile cf = xls::CompoundFile::parse(bytes);
            const xls::Bytes& s = cf.stream(cf.findRootStream(u"Workbook"));
            std::ofstream(argv[3], std::ios::binary)
                .write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size()));
            return 0;
        }
        if (verb == "v4") {
            std::ifstream in(argv[2], std::ios::binary);
            const xls::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const xls::Bytes out = xls::CompoundFile::parse(bytes).serialize(12);
            std::ofstream(argv[3], std::ios::binary)
                .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
            return 0;
        }
        xls::Workbook wb = xls::Workbook::open(argv[2]);
        if (verb == "copyall" || verb == "copyonly") {
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
                if (verb == "copyonly")
                    continue;
                wb.setCell(at, "A1", xls::CellValue::fromText(u"書き込み"));
                wb.setCell(at, "B2", xls::CellValue::fromText(u"12.5"));
                wb.setCell(at, "C3", xls::CellValue::fromText(u"00123"));
                wb.setCell(at, "D4", xls::CellValue::fromDate(2024, 1, 5));
                wb.setCell(at, "E5", xls::CellValue::fromNumber(-3.25));
                wb.setCell(at, "F6", xls::CellValue::empty());
            }
        }
        wb.save(argv[3]);
    } catch (const xls::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
