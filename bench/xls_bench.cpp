// The workbook engine on the template: open it, make 1, 3, 50 and 250 pages (two sheets each)
// with every header and line cell of a PO workbook written, save to bytes. Prints the time per
// workbook, the bytes written and the peak memory of the process.
#include "xls/Workbook.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* const kDeliveryHeader[] = {
    "I3",   "AU1",  "BC3",  "BC2",  "H5",   "AT5",  "L7",   "L8",   "L9",  "L10", "H11", "X11", "AN11", "BJ11", "H14",
    "H15",  "H16",  "X16",  "AN16", "BD16", "K17",  "K18",  "K19",  "K20", "K21", "K22", "K23", "AF17", "AF18", "AF19",
    "AF20", "AF22", "AF23", "BA17", "BA18", "BA19", "BA20", "BA21", "B27", "B28", "B29", "B30", "B31",  "AR26", "I75"};
const char* const kOrderHeader[] = {"H7",  "H8",  "H9",  "H11", "H13", "AY7",  "AU11", "AU13",
                                    "J60", "S62", "L63", "S64", "D71", "AR71", "AT57", "AT60"};

xls::Bytes readTemplate()
{
    std::ifstream in(TOLVAR_TEMPLATE, std::ios::binary);
    return xls::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::u16string u(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::size_t makeWorkbook(const xls::Bytes& templ, int pages)
{
    xls::Workbook wb = xls::Workbook::fromBytes(templ);
    for (int k = 2; k <= pages; ++k) {
        wb.copySheetToEnd(wb.sheetPosition(u"海外納品情報"));
        wb.copySheetToEnd(wb.sheetPosition(u"Purchase Order"));
    }
    for (int j = 1; j <= pages; ++j) {
        wb.renameSheet(2 * j - 1, u"納品情報" + u(std::to_string(j)));
        wb.renameSheet(2 * j, u"PO" + u(std::to_string(j)));
    }
    for (int p = 1; p <= pages; ++p) {
        const int d = 2 * p - 1, o = 2 * p;
        for (const char* a : kDeliveryHeader)
            wb.setCell(d, a, xls::CellValue::fromText(u"上海恒通貿易有限公司"));
        for (const char* a : kOrderHeader)
            wb.setCell(o, a, xls::CellValue::fromText(u"PO26-0001234"));
        for (int line = 0; line < 20; ++line) {
            const std::string dr = std::to_string(34 + 2 * line), dr1 = std::to_string(35 + 2 * line);
            const std::string orow = std::to_string(17 + 2 * line), orow1 = std::to_string(18 + 2 * line);
            const std::u16string code = u"ITM-" + u(std::to_string(p * 100 + line));
            wb.setCell(d, "B" + dr, xls::CellValue::fromText(code));
            wb.setCell(d, "J" + dr, xls::CellValue::fromText(u"ステンレスボルト"));
            wb.setCell(d, "J" + dr1, xls::CellValue::fromText(u"M8×30"));
            wb.setCell(d, "AI" + dr, xls::CellValue::fromText(u"C-001"));
            wb.setCell(d, "AR" + dr, xls::CellValue::fromText(u"12"));
            wb.setCell(d, "AY" + dr, xls::CellValue::fromText(u"1500.5"));
            wb.setCell(d, "BF" + dr, xls::CellValue::fromText(u"2100.7"));
            wb.setCell(o, "D" + orow, xls::CellValue::fromText(code));
            wb.setCell(o, "L" + orow, xls::CellValue::fromText(u"ステンレスボルト"));
            wb.setCell(o, "L" + orow1, xls::CellValue::fromText(u"M8×30"));
            wb.setCell(o, "AK" + orow, xls::CellValue::fromText(u"12"));
            wb.setCell(o, "AT" + orow, xls::CellValue::fromText(u"1500.5"));
            wb.setCell(o, "BC" + orow, xls::CellValue::fromText(u"18006"));
            wb.setCell(o, "AK57", xls::CellValue::fromText(u(std::to_string(12 * (line + 1)))));
            wb.setCell(o, "BC57", xls::CellValue::fromText(u(std::to_string(18006 * (line + 1)))));
        }
    }
    return wb.saveToBytes().size();
}

void BM_workbook(benchmark::State& state)
{
    const xls::Bytes templ = readTemplate();
    std::size_t bytes = 0;
    for (auto _ : state)
        bytes = makeWorkbook(templ, static_cast<int>(state.range(0)));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["bytes_written"] = static_cast<double>(bytes);
    state.counters["peak_rss_MiB"] = usage.ru_maxrss / 1024.0;
    state.counters["ms_per_page"] =
        benchmark::Counter(static_cast<double>(state.range(0)),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_workbook)->Arg(1)->Arg(3)->Arg(50)->Arg(250)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
