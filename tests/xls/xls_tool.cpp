// A small command over the engine for the tests and by hand:
//   xls_tool roundtrip IN OUT             parse and save without edits
//   xls_tool copyall IN OUT               copy every worksheet to the end, rename the copies,
//                                         write text, numbers, dates and blanks into them
//   xls_tool copyonly IN OUT              the same without writing cells
//   xls_tool stream IN OUT                the Workbook stream's bytes
//   xls_tool v4 IN OUT                    the same container with 4096-byte sectors
//   xls_tool pack IN STREAM OUT           IN's container with STREAM's bytes as its Workbook stream
#include "support/BookTool.h"
#include "xls/CompoundFile.h"
#include "xls/Workbook.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void copyAll(xls::Workbook& wb, bool writeCells)
{
    copyEverySheet(wb, [&](int at, const char* address, const xls::CellValue& value) {
        if (writeCells)
            wb.setCell(at, address, value);
    });
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
