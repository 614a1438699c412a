// The PO workbook of 1, 45 and 1 000 lines: po_file_make in-process on SQLite, and tolvar-po as a
// whole process for the same POs. Prints the times and the workbook sizes.
#include "db/dbOpen.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "util/Messages.h"

#include "BenchSchema.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace tolvar;

namespace {

QTemporaryDir* folder = nullptr;

void makeDatabase(const QString& path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-writer"));
    db.setDatabaseName(path);
    db.open();
    createPoSchema(db);
    db.transaction();
    for (int lines : {1, 45, 1000}) {
        QSqlQuery h(db);
        h.prepare(
            QStringLiteral("INSERT INTO TBL_PO_H (PO番号, 発注区分, 発注先名, PO発行日, 得意先CD, 得意先名, 希望納期, "
                           "運賃請求, ロス率) "
                           "VALUES (?, '0', '東洋精機株式会社', '2024/01/15', 'A01', '北星商事', '2024/02/28', 0, 1)"));
        h.addBindValue(QStringLiteral("B%1").arg(lines));
        h.exec();
        QSqlQuery m(db);
        m.prepare(
            QStringLiteral("INSERT INTO TBL_PO_M (PO番号, PO行, 商品CD, 品名1, 品名2, 客先商品CD, 数量, 下代, 上代) "
                           "VALUES (?, ?, ?, 'ステンレスボルト', 'M8×30', 'C-001', 12, 1500.5, 2100.7)"));
        for (int i = 1; i <= lines; ++i) {
            m.addBindValue(QStringLiteral("B%1").arg(lines));
            m.addBindValue(i);
            m.addBindValue(QStringLiteral("ITM-%1").arg(i));
            m.exec();
        }
    }
    db.commit();
    db.close();
}

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

}  // namespace

BENCHMARK(BM_po_file_make)->Arg(1)->Arg(45)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_tolvar_po_process)->Arg(1)->Arg(45)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    const QString db = dir.filePath(QStringLiteral("bench.db"));
    makeDatabase(db);
    QSqlDatabase::removeDatabase(QStringLiteral("bench-writer"));
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
    dbClose();
    return 0;
}
