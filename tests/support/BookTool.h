// What the two workbook test tools (xls_tool, xlsx_tool) share: a file read and written whole, and
// every sheet of a workbook copied to the end as "コピーN" with the same six sample cells (text, a
// number as text, text that must stay text, a date, a number, a blank) for the copy.
#pragma once

#include "xls/Bytes.h"
#include "xls/CellValue.h"
#include "xls/Error.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

inline xls::Bytes readAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw xls::Error(xls::ErrorCode::FileError, path);
    return xls::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeAll(const char* path, const xls::Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Copies each sheet (one the engine refuses to copy is passed over, and said so) and hands each
// sample cell to write(copy's position, address, value).
template <typename Book, typename Write>
void copyEverySheet(Book& wb, Write&& write)
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
        const std::pair<const char*, xls::CellValue> cells[] = {
            {"A1", xls::CellValue::fromText(u"書き込み")}, {"B2", xls::CellValue::fromText(u"12.5")},
            {"C3", xls::CellValue::fromText(u"00123")},    {"D4", xls::CellValue::fromDate(2024, 1, 5)},
            {"E5", xls::CellValue::fromNumber(-3.25)},     {"F6", xls::CellValue::empty()}};
        for (const auto& [address, value] : cells)
            write(at, address, value);
    }
}
