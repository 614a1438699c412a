// A small command over the .xlsx engine for the tests and by hand:
//   xlsx_tool check FILE        the package's structure: the problems, one a line; exit 1 if any
//   xlsx_tool copyall IN OUT    copy every worksheet to the end, rename the copies, write text,
//                               numbers, dates and blanks into them, save and read back
#include "ooxml/PackageCheck.h"
#include "ooxml/Workbook.h"
#include "support/BookTool.h"
#include "xls/Error.h"

#include <cstdio>
#include <string>

namespace {

int copyAll(const char* in, const char* out)
{
    ooxml::Workbook wb = ooxml::Workbook::fromBytes(readAll(in));
    copyEverySheet(wb, [&](int at, const char* address, const xls::CellValue& value) {
        try {
            wb.setCell(at, address, value);
        } catch (const xls::Error& e) {
            if (e.code() != xls::ErrorCode::FormulaCell)
                throw;
            std::fprintf(stderr, "skip cell %s: %s\n", address, e.what());
        }
    });
    const xls::Bytes saved = wb.saveToBytes();
    writeAll(out, saved);
    int differences = 0;
    for (const std::string& d : wb.verify(saved)) {
        std::fprintf(stderr, "%s\n", d.c_str());
        ++differences;
    }
    return differences ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const std::string verb = argc > 1 ? argv[1] : "";
        if (verb == "check" && argc == 3) {
            const auto problems = ooxml::checkPackage(readAll(argv[2]));
            for (const std::string& p : problems)
                std::printf("%s\n", p.c_str());
            return problems.empty() ? 0 : 1;
        }
        if (verb == "copyall" && argc == 4)
            return copyAll(argv[2], argv[3]);
        std::fprintf(stderr, "usage: xlsx_tool check FILE | copyall IN OUT\n");
        return 2;
    } catch (const xls::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
