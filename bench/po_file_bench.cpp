// The PO workbook of 1, 45 and 1 000 lines: po_file_make in-process on SQLite, and tolvar-po as a
// whole process for the same POs. Prints the times and the workbook sizes, then the time of 45 lines
// from a template with embedded charts and a VBA project (MST_PO-charts-macros.xls: three charts
// LibreOffice drew on the two forms, the VBA project of tests/data/xls/parseexcel-Test97J.xls, as
// the template test makes its "libreoffice-charts" and "vba-project" templates) against the plain
// template, as a ratio of medians over alternated runs; and the same for the template saved as .xlsx
// by LibreOffice (MST_PO.xlsx), for one PO of 45 lines and for a batch of 100 of them.
#include "db/dbOpen.h"
#include "platform/KeepFreedMemory.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "util/Messages.h"

#include "BenchRun.h"
#include "BenchSchema.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <vector>

using namespace tolvar;

namespace {

QTemporaryDir* folder = nullptr;

void BM_po_file_make(benchmark::State& state)
{
    const QString no = QStringLiteral("B%1").arg(state.range(0));
    for (auto _ : state)
        po_file_make(no);
    state.counters["bytes"] =
        static_cast<double>(QFileInfo(QDir(folder->path()).filePath(no + QStringLiteral(".xls"))).size());
}

void BM_tolvar_po_process(benchmark::State& state)
{
    const QString no = QStringLiteral("B%1").arg(state.range(0));
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral(TOLVAR_APP_DIR "/tolvar-po"),
                {QStringLiteral("--settings"), QDir(folder->path()).filePath(QStringLiteral("tolvar.ini")),
                 QStringLiteral("--template"), QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls"),
                 QStringLiteral("--out"), folder->path(), no});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            state.SkipWithError("tolvar-po failed");
    }
}

// One whole tolvar-po process, started as a shell starts it; milliseconds from its start to its end.
double processMs(const std::vector<QByteArray>& arguments)
{
    const ProcessRun run = runQuietly(arguments);
    if (run.status != 0)
        std::fprintf(stderr, "tolvar-po failed: %s\n", arguments.back().constData());
    return run.seconds * 1000;
}

// tolvar-po for one PO of 45 lines as a whole process, writing to the temporary folder's disk and
// to memory (/dev/shm, where the workbook's flush to the disk costs nothing), beside
// `tolvar-po --version` (the program's start alone); the three alternated, medians of 61 runs.
void wholeProcess()
{
    const QByteArray program = TOLVAR_APP_DIR "/tolvar-po";
    const QByteArray settings = QDir(folder->path()).filePath(QStringLiteral("tolvar.ini")).toUtf8();
    const QByteArray tmpl = TOLVAR_SOURCE_DIR "/assets/MST_PO.xls";
    QTemporaryDir memory(QStringLiteral("/dev/shm/tolvar-bench-XXXXXX"));
    const QByteArray disk = folder->path().toUtf8();
    const std::vector<std::vector<QByteArray>> commands = {
        {program, "--version"},
        {program, "--settings", settings, "--template", tmpl, "--out", disk, "B45"},
        {program, "--settings", settings, "--template", tmpl, "--out", memory.isValid() ? memory.path().toUtf8() : disk,
         "B45"}};
    std::vector<double> times[3];
    for (int round = 0; round < 66; ++round)
        for (std::size_t k = 0; k < commands.size(); ++k)
            if (const double ms = processMs(commands[k]); round >= 5)  // the first runs warm the caches
                times[k].push_back(ms);
    std::printf(
        "tolvar-po as a whole process, medians: --version %.2f ms; 45 lines %.2f ms to the disk, %.2f ms "
        "to memory\n",
        median(times[0]), median(times[1]), median(times[2]));
}

PoFileOptions optionsFor(const QString& templatePath)
{
    PoFileOptions options;
    options.templatePath = templatePath;
    return options;
}

// Median milliseconds of po_file_make for 45 lines from each of two templates, the two alternated
// (the first run of each reads its template and is not counted).
std::array<double, 2> alternatedMedians(const std::array<QString, 2>& templates)
{
    std::vector<double> times[2];
    for (int round = 0; round < 41; ++round) {
        for (int k = 0; k < 2; ++k) {
            QElapsedTimer t;
            t.start();
            po_file_make(QStringLiteral("B45"), optionsFor(templates[k]));
            if (round > 0)
                times[k].push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
    }
    return {median(times[0]), median(times[1])};
}

void chartsAndMacrosRatio()
{
    const auto medians = alternatedMedians({QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls"),
                                            QStringLiteral(TOLVAR_SOURCE_DIR "/bench/MST_PO-charts-macros.xls")});
    std::printf("45 lines, plain template %.2f ms, with charts and macros %.2f ms: ratio %.2f\n", medians[0],
                medians[1], medians[1] / medians[0]);
}

// The .xlsx template against the .xls one: the median of one PO of 45 lines, alternated, and the
// median time of 100 such POs in a row (a batch: the template read once and copied for each).
void xlsxRatio()
{
    const std::array<QString, 2> templates = {QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls"),
                                              QStringLiteral(TOLVAR_SOURCE_DIR "/bench/MST_PO.xlsx")};
    const auto medians = alternatedMedians(templates);
    // Batches of the two alternated too, five of each, against the machine's speed drifting.
    std::vector<double> batches[2];
    for (int round = 0; round < 5; ++round) {
        for (int k = 0; k < 2; ++k) {
            QElapsedTimer t;
            t.start();
            for (int n = 0; n < 100; ++n)
                po_file_make(QStringLiteral("B45"), optionsFor(templates[k]));
            batches[k].push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
    }
    const double batch[2] = {median(batches[0]), median(batches[1])};
    std::printf("45 lines, .xls template %.2f ms, .xlsx template %.2f ms: ratio %.2f\n", medians[0], medians[1],
                medians[1] / medians[0]);
    std::printf("100 POs of 45 lines, .xls template %.0f ms, .xlsx template %.0f ms: ratio %.2f\n", batch[0], batch[1],
                batch[1] / batch[0]);
}

}  // namespace

BENCHMARK(BM_po_file_make)->Arg(1)->Arg(45)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_tolvar_po_process)->Arg(1)->Arg(45)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // As the two programs set up their memory.
    keepFreedMemory();
    QTemporaryDir dir;
    folder = &dir;
    const QString db = dir.filePath(QStringLiteral("bench.db"));
    makePoDatabase(db, {{QStringLiteral("B1"), 1}, {QStringLiteral("B45"), 45}, {QStringLiteral("B1000"), 1000}});
    QFile ini(dir.filePath(QStringLiteral("tolvar.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=" + db.toUtf8() + "\r\n");
    ini.close();
    gPoDbSetting.Provider = QStringLiteral("SQLite");
    gPoDbSetting.ServerName = db;
    gPoDbSetting.ConnectTimeout = 20;
    gPoSaveFolder = dir.path() + QLatin1Char('/');
    dbOpen();
    // The template of the program folder.
    QFile::copy(QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls"),
                QCoreApplication::applicationDirPath() + QStringLiteral("/MST_PO.xls"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    chartsAndMacrosRatio();
    xlsxRatio();
    wholeProcess();
    dbClose();
    return 0;
}
