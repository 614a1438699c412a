// A small command over the .xlsx engine for the tests and by hand:
//   xlsx_tool check FILE        the package's structure: the problems, one a line; exit 1 if any
//   xlsx_tool copyall IN OUT    copy every worksheet to the end, rename the copies, write text,
//                               numbers, dates and blanks into them, save and read back
#include "ooxml/PackageCheck.h"
#include "ooxml/Workbook.h"
#include "xls/Error.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

xls::Bytes readAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw xls::Error(xls::ErrorCode::FileError, path);
    return xls::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int copyAll(const char* in, const char* out)
{
    ooxml::Workbook wb = ooxml::Workbook::fromBytes(readAll(in));
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
        const std::pair<const char*, xls::CellValue> cells[] = {
            {"A1", xls::CellValue::fromText(u"書き込み")}, {"B2", xls::CellValue::fromText(u"12.5")},
            {"C3", xls::CellValue::fromText(u"00123")},    {"D4", xls::CellValue::fromDate(2024, 1, 5)},
            {"E5", xls::CellValue::fromNumber(-3.25)},     {"F6", xls::CellValue::empty()}};
        for (const auto& [address, value] : cells) {
            try {
                wb.setCell(at, address, value);
            } catch (const xls::Error& e) {
                if (e.code() != xls::ErrorCode::FormulaCell)
                    throw;
                std::fprintf(stderr, "skip cell %s: %s\n", address, e.what());
            }
        }
    }
    const xls::Bytes saved = wb.saveToBytes();
    std::ofstream(out, std::ios::binary)
        .write(reinterpret_cast<const char*>(saved.data()), static_cast<std::streamsize>(saved.size()));
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
