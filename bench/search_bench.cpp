// The PO search on the large database: from the click on 検索 to the rows in the grid's model,
// for results of about 1 000, 30 000 and 300 000 rows, beside the database's own time for the
// same statement read to the end by its command-line client, the two alternated. Prints rows,
// memory, the medians of both and their ratio.
//
//   search_bench [--pg HOST:PORT DB USER PASSWORD]    (PostgreSQL: the same data loaded there)
//   search_bench [--tds HOST,PORT DB USER PASSWORD]   (SQL Server through FreeTDS, its client tsql)

#include "db/dbOpen.h"
#include "platform/KeepFreedMemory.h"
#include "search/PoResultModel.h"
#include "search/SearchStatement.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "util/Clock.h"
#include "util/Messages.h"

#include "BenchRun.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <algorithm>
#include <vector>

using namespace tolvar;

namespace {

struct Case {
    const char* name;
    const char* staff;
    const char* customer;
    int days;  // issue dates from the fixed today minus this many days to today; 0: no date condition
};

const Case kCases[] = {
    {"about_1000_rows", "15", "A01", 6},
    {"about_30000_rows", "15", "", 26},
    {"about_300000_rows", "12", "", 0},
};
const QDate kToday(2026, 1, 15);

void setUp(frmMain& w, const Case& c)
{
    // The conditions typed as a user types them, into the controls of those names.
    w.findChild<QLineEdit*>(QStringLiteral("find_tanto_cd"))->setText(QString::fromLatin1(c.staff));
    w.findChild<QLineEdit*>(QStringLiteral("find_tok_cd"))->setText(QString::fromLatin1(c.customer));
    w.findChild<QDateEdit*>(QStringLiteral("dtpSDate"))->setDate(c.days ? kToday.addDays(-c.days) : kToday);
    w.findChild<QDateEdit*>(QStringLiteral("dtpEDate"))->setDate(kToday);
}

SearchStatement statementFor(const Case& c)
{
    SearchConditions cond;
    cond.tantoCd = QString::fromLatin1(c.staff);
    cond.tokCd = QString::fromLatin1(c.customer);
    cond.sDate = c.days ? kToday.addDays(-c.days) : kToday;
    cond.eDate = kToday;
    cond.today = kToday;
    return buildSearchStatement(cond);
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

enum class Database { SQLite, PostgreSQL, SqlServer };

const char* databaseName(Database d)
{
    return d == Database::SQLite ? "SQLite" : d == Database::PostgreSQL ? "PostgreSQL" : "SqlServer";
}

// The database's own time: its command-line client reads the whole result to /dev/null, the
// statement given as the last argument or, with `input`, on its standard input.
double clientSeconds(const QString& program, const QStringList& arguments, const QString& sql, bool input = false)
{
    QProcess client;
    client.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    client.start(program, input ? arguments : arguments + QStringList{sql});
    if (input) {
        client.write(sql.toUtf8() + "\ngo\n");
        client.closeWriteChannel();
    }
    client.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e9;
}

// The database's own client for the statement with its values written in.
double clientOnce(const Case& c, Database database)
{
    const QString sql = statementFor(c).rendered();
    if (database == Database::SqlServer) {
        // FreeTDS's own client, on its library alone, every message and count left out.
        const QString host = gPoDbSetting.ServerName.section(QLatin1Char(','), 0, 0);
        const QString port = gPoDbSetting.ServerName.section(QLatin1Char(','), 1);
        return clientSeconds(QStringLiteral("tsql"),
                             {QStringLiteral("-H"), host, QStringLiteral("-p"), port, QStringLiteral("-U"),
                              gPoDbSetting.UserName, QStringLiteral("-P"), gPoDbSetting.Password, QStringLiteral("-D"),
                              gPoDbSetting.DbName, QStringLiteral("-o"), QStringLiteral("q")},
                             sql, true);
    }
    if (database == Database::PostgreSQL) {
        const QString host = gPoDbSetting.ServerName.section(QLatin1Char(':'), 0, 0);
        const QString port = gPoDbSetting.ServerName.section(QLatin1Char(':'), 1);
        qputenv("PGPASSWORD", gPoDbSetting.Password.toUtf8());
        return clientSeconds(
            QStringLiteral("psql"),
            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), host, QStringLiteral("-p"), port,
             QStringLiteral("-U"), gPoDbSetting.UserName, QStringLiteral("-d"), gPoDbSetting.DbName,
             QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-c")},
            sql);
    }
    return clientSeconds(QStringLiteral("sqlite3"), {QStringLiteral(TOLVAR_BENCH_DB)}, sql);
}

// Each iteration is one search and one run of the client on the same statement, one after the
// other, so that both meet the same caches; one untimed run of each first. The benchmark's time is
// the search's; the counters give both medians and their ratio.
void BM_search(benchmark::State& state, const Case& c, Database database)
{
    const TodayForTesting fixed(kToday);
    frmMain w;
    setUp(w, c);
    w.SearchPo();
    clientOnce(c, database);
    std::vector<double> ours, theirs;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        w.SearchPo();
        benchmark::DoNotOptimize(w.resultTable().rowCount());
        const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        ours.push_back(seconds * 1000);
        theirs.push_back(clientOnce(c, database) * 1000);
    }
    state.counters["rows"] = w.resultTable().rowCount();
    state.counters["peak_rss_MiB"] = peakRssKb() / 1024.0;
    state.counters["tolvar_ms"] = median(ours);
    state.counters["client_ms"] = median(theirs);
    state.counters["ratio"] = median(ours) / median(theirs);
}

}  // namespace

int main(int argc, char** argv)
{
    // The heap as the program sets it up.
    keepFreedMemory();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StderrMessageSink sink;
    ScopedMessageSink messages(sink);
    Database database = Database::SQLite;
    gPoDbSetting.Provider = QStringLiteral("SQLite");
    gPoDbSetting.ServerName = QStringLiteral(TOLVAR_BENCH_DB);
    gPoDbSetting.ConnectTimeout = 20;
    for (int i = 1; i + 4 < argc; ++i) {
        const QByteArray option(argv[i]);
        if (option == "--pg" || option == "--tds") {
            database = option == "--pg" ? Database::PostgreSQL : Database::SqlServer;
            gPoDbSetting.Provider = option == "--pg" ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLOLEDB");
            gPoDbSetting.ServerName = QString::fromLocal8Bit(argv[i + 1]);
            gPoDbSetting.DbName = QString::fromLocal8Bit(argv[i + 2]);
            gPoDbSetting.UserName = QString::fromLocal8Bit(argv[i + 3]);
            gPoDbSetting.Password = QString::fromLocal8Bit(argv[i + 4]);
        }
    }
    for (const Case& c : kCases)
        benchmark::RegisterBenchmark((std::string(databaseName(database)) + "/" + c.name).c_str(),
                                     [&c, database](benchmark::State& s) { BM_search(s, c, database); })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(c.days == 0 ? 7 : 9);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
