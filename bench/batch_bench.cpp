// Batches through tolvar-po as whole processes, on a SQLite database of 1 000 POs of 45 lines:
//  - 100 POs in one call, workbooks only (the time of the call and a PO's share of it);
//  - the same 100 with --pdf, one LibreOffice for all of them, against one tolvar-po --pdf (and so
//    one LibreOffice) per PO, with the seconds a PO takes once LibreOffice has started and the
//    ratio of the two ways; TOLVAR_BENCH_PDF_POS sets how many POs (100 unless set);
//  - the peak memory of a call for 1, 100 and 1 000 POs: a batch holds one workbook at a time, so
//    the peak stays where one PO puts it.
#include "BenchRun.h"
#include "BenchSchema.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

namespace {

constexpr int kPos = 1000;
constexpr int kLines = 45;
QTemporaryDir* folder = nullptr;

QString path(const QString& name)
{
    return QDir(folder->path()).filePath(name);
}

QString poNumber(int i)
{
    return QStringLiteral("C%1").arg(i, 4, 10, QLatin1Char('0'));
}

// tolvar-po with the bench's settings and the POs first .. first + count - 1, its output thrown
// away; the time and the peak memory of that one process.
ProcessRun tolvarPo(QStringList options, int first, int count)
{
    options.prepend(path(QStringLiteral("tolvar.ini")));
    options.prepend(QStringLiteral("--settings"));
    options << QStringLiteral("--out") << path(QStringLiteral("out"));
    for (int i = first; i < first + count; ++i)
        options << poNumber(i);
    std::vector<QByteArray> arguments{QByteArray(TOLVAR_APP_DIR "/tolvar-po")};
    for (const QString& o : options)
        arguments.push_back(o.toUtf8());
    return runQuietly(std::move(arguments));
}

void BM_batch_100_workbooks(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state) {
        const ProcessRun run = tolvarPo({}, 1, 100);
        if (run.status != 0)
            state.SkipWithError("tolvar-po failed");
        state.SetIterationTime(run.seconds);
        total += run.seconds;
    }
    state.counters["ms_per_po"] = total * 1000 / 100 / static_cast<double>(state.iterations());
}

int pdfPos()
{
    const int n = qEnvironmentVariableIntValue("TOLVAR_BENCH_PDF_POS");
    return n >= 2 ? std::min(n, kPos) : 100;
}

// One LibreOffice for the batch against one per PO. The first figure, less the call for one PO,
// over the other POs, is a PO's time once LibreOffice has started.
void BM_batch_pdf(benchmark::State& state)
{
    const int n = pdfPos();
    for (auto _ : state) {
        const ProcessRun one = tolvarPo({QStringLiteral("--pdf")}, 1, 1);
        const ProcessRun batch = tolvarPo({QStringLiteral("--pdf")}, 1, n);
        double perFile = 0;
        bool failed = one.status != 0 || batch.status != 0;
        for (int i = 1; i <= n; ++i) {
            const ProcessRun single = tolvarPo({QStringLiteral("--pdf")}, i, 1);
            perFile += single.seconds;
            failed = failed || single.status != 0;
        }
        if (failed)
            state.SkipWithError("tolvar-po --pdf failed (is LibreOffice installed?)");
        state.SetIterationTime(batch.seconds);
        state.counters["pos"] = n;
        state.counters["s_one_po"] = one.seconds;
        state.counters["s_one_process"] = batch.seconds;
        state.counters["s_a_process_per_po"] = perFile;
        state.counters["s_per_po_after_start"] = (batch.seconds - one.seconds) / (n - 1);
        state.counters["ratio"] = perFile / batch.seconds;
    }
}

void BM_batch_peak_memory(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const ProcessRun run = tolvarPo({}, 1, count);
        if (run.status != 0)
            state.SkipWithError("tolvar-po failed");
        state.SetIterationTime(run.seconds);
        state.counters["peak_MB"] = static_cast<double>(run.peakKilobytes) / 1024.0;
    }
}

}  // namespace

BENCHMARK(BM_batch_100_workbooks)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_batch_pdf)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_batch_peak_memory)
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    std::vector<std::pair<QString, int>> pos;
    for (int po = 1; po <= kPos; ++po)
        pos.emplace_back(poNumber(po), kLines);
    makePoDatabase(path(QStringLiteral("bench.db")), pos);
    QFile ini(path(QStringLiteral("tolvar.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=" + path(QStringLiteral("bench.db")).toUtf8() + "\r\n");
    ini.close();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
