// The workbook engine on the template: open it, make 1, 3, 50 and 250 pages (two sheets each)
// with every cell of the form written, save to bytes; and the self-check that reads those bytes
// back. Prints the time per workbook, the bytes written and the peak memory of the process; the
// self-check's share of the time is the ratio of the two benchmarks.
#include "pofile/TemplateCheck.h"
#include "xls/Workbook.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <fstream>
#include <iterator>

namespace {

xls::Bytes readTemplate()
{
    std::ifstream in(TOLVAR_TEMPLATE, std::ios::binary);
    return xls::Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void peakMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_workbook(benchmark::State& state)
{
    const xls::Bytes templ = readTemplate();
    std::size_t bytes = 0;
    for (auto _ : state) {
        xls::Workbook wb = xls::Workbook::fromBytes(templ);
        tolvar::form::fillTrialForm(wb, static_cast<int>(state.range(0)));
        bytes = wb.saveToBytes().size();
    }
    state.counters["bytes_written"] = static_cast<double>(bytes);
    peakMemory(state);
}

void BM_self_check(benchmark::State& state)
{
    xls::Workbook wb = xls::Workbook::fromBytes(readTemplate());
    tolvar::form::fillTrialForm(wb, static_cast<int>(state.range(0)));
    const xls::Bytes saved = wb.saveToBytes();
    for (auto _ : state) {
        const std::vector<std::string> differences = wb.verify(saved);
        if (!differences.empty())
            state.SkipWithError(differences.front().c_str());
    }
    peakMemory(state);
}

// Opening the template (parsing it and reading what it shows) against copying one already open:
// what a batch saves by opening its template once.
void BM_open_template(benchmark::State& state)
{
    const xls::Bytes templ = readTemplate();
    for (auto _ : state)
        benchmark::DoNotOptimize(xls::Workbook::fromBytes(templ));
}

void BM_copy_open_template(benchmark::State& state)
{
    const xls::Workbook opened = xls::Workbook::fromBytes(readTemplate());
    for (auto _ : state) {
        xls::Workbook copy = opened;
        benchmark::DoNotOptimize(copy);
    }
}

}  // namespace

BENCHMARK(BM_open_template)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_copy_open_template)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_workbook)->Arg(1)->Arg(3)->Arg(50)->Arg(250)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_self_check)->Arg(1)->Arg(3)->Arg(50)->Arg(250)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
