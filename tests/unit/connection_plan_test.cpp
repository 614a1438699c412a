// How each provider's settings become a Qt SQL connection.
#include "db/ConnectionPlan.h"
#include "support/TestSupport.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

using namespace tolvar;

namespace {

DbSetting setting(const char* provider, const char* server, const char* db = "", int timeout = 20)
{
    DbSetting s;
    s.Provider = QString::fromUtf8(provider);
    s.ServerName = QString::fromUtf8(server);
    s.DbName = QString::fromUtf8(db);
    s.UserName = QStringLiteral("sa");
    s.Password = QStringLiteral("pw");
    s.ConnectTimeout = timeout;
    return s;
}

qint32 failureNumber(const DbSetting& s)
{
    try {
        planConnection(s, QStringLiteral("/nonexistent"));
    } catch (const Failure& f) {
        return f.number();
    }
    return 0;
}

}  // namespace

TEST(connection_plan, sqlite_takes_a_file_relative_to_the_program_folder_read_only)
{
    QTemporaryDir dir;
    test::writeFile(QDir(dir.path()).filePath(QStringLiteral("demo.db")), "");
    const ConnectionPlan plan = planConnection(setting("sqlite", "demo.db"), dir.path());
    EXPECT_EQ(plan.driver, QStringLiteral("QSQLITE"));
    EXPECT_EQ(plan.databaseName, QDir(dir.path()).filePath(QStringLiteral("demo.db")));
    EXPECT_EQ(plan.connectOptions, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=20000"));
    EXPECT_EQ(failureNumber(setting("SQLite", "missing.db")), toNumber(FailureCode::DbFileMissing));
}

TEST(connection_plan, postgres_splits_host_and_port_and_passes_the_timeout)
{
    const ConnectionPlan plan = planConnection(setting("PostgreSQL", "db.local:5433", "po", 20), QString());
    EXPECT_EQ(plan.driver, QStringLiteral("QPSQL"));
    EXPECT_EQ(plan.host, QStringLiteral("db.local"));
    EXPECT_EQ(plan.port, 5433);
    EXPECT_EQ(plan.databaseName, QStringLiteral("po"));
    EXPECT_EQ(plan.userName, QStringLiteral("sa"));
    EXPECT_EQ(plan.connectOptions, QStringLiteral("connect_timeout=20"));
    EXPECT_EQ(planConnection(setting("postgresql", "db.local"), QString()).port, -1);
    const ConnectionPlan v6 = planConnection(setting("PostgreSQL", "[::1]:5432"), QString());
    EXPECT_EQ(v6.host, QStringLiteral("::1"));
    EXPECT_EQ(v6.port, 5432);
    EXPECT_EQ(failureNumber(setting("PostgreSQL", "host:port")), toNumber(FailureCode::DbOpenFailed));
}

TEST(connection_plan, odbc_takes_a_dsn_or_a_whole_connection_string)
{
    EXPECT_EQ(planConnection(setting("ODBC", "PoDsn", "po"), QString()).databaseName,
              QStringLiteral("DSN=PoDsn;DATABASE=po;"));
    EXPECT_EQ(planConnection(setting("ODBC", "DRIVER={PostgreSQL Unicode};SERVER=h"), QString()).databaseName,
              QStringLiteral("DRIVER={PostgreSQL Unicode};SERVER=h;"));
    EXPECT_EQ(planConnection(setting("ODBC", "PoDsn"), QString()).connectOptions,
              QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=20;SQL_ATTR_CONNECTION_TIMEOUT=20"));
}

TEST(connection_plan, sql_server_provider_names_use_freetds_through_odbc)
{
    const char* names[] = {"SQLOLEDB", "sqloledb.1", "SQLNCLI11", "SQLNCLI10.1", "MSOLEDBSQL", "MSOLEDBSQL19"};
    for (const char* name : names) {
        const ConnectionPlan plan = planConnection(setting(name, "SRV01,1433", "PODB"), QString());
        EXPECT_EQ(plan.driver, QStringLiteral("QODBC")) << name;
        EXPECT_EQ(plan.databaseName,
                  QStringLiteral(
                      "DRIVER={FreeTDS};SERVER=SRV01;PORT=1433;DATABASE=PODB;TDS_Version=7.4;ClientCharset=UTF-8;"))
            << name;
    }
    EXPECT_EQ(planConnection(setting("SQLOLEDB", "(local)\\SQLEXPRESS", "a;b"), QString()).databaseName,
              QStringLiteral(
                  "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;DATABASE={a;b};TDS_Version=7.4;ClientCharset=UTF-8;"));
    EXPECT_EQ(odbcValue(QStringLiteral("x}y")), QStringLiteral("{x}}y}"));
}

TEST(connection_plan, unknown_provider_and_empty_server_are_failures_with_their_numbers)
{
    EXPECT_EQ(failureNumber(setting("Jet.OLEDB.4.0", "x")), toNumber(FailureCode::DbUnknownProvider));
    EXPECT_EQ(failureNumber(setting("", "x")), toNumber(FailureCode::DbUnknownProvider));
    for (const char* provider : {"SQLite", "PostgreSQL", "ODBC", "SQLOLEDB"})
        EXPECT_EQ(failureNumber(setting(provider, "  ")), toNumber(FailureCode::DbEmptyServer)) << provider;
}

// Where the system lists its ODBC drivers (Windows), as the registry of an office PC might.
namespace {

DriverInventory windowsWith(std::initializer_list<const char*> names)
{
    DriverInventory drivers;
    drivers.qpsql = false;
    drivers.odbcDrivers = QStringList();
    for (const char* n : names)
        drivers.odbcDrivers->append(QString::fromUtf8(n));
    return drivers;
}

qint32 failureNumber(const DbSetting& s, const DriverInventory& drivers, QString* description = nullptr)
{
    try {
        planConnection(s, QStringLiteral("/nonexistent"), drivers);
    } catch (const Failure& f) {
        if (description)
            *description = f.description();
        return f.number();
    }
    return 0;
}

}  // namespace

TEST(connection_plan, sql_server_on_windows_takes_the_newest_microsoft_driver_installed)
{
    struct Row {
        std::initializer_list<const char*> installed;
        const char* expected;
    };
    const Row rows[] = {
        {{"SQL Server", "ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"},
         "ODBC Driver 18 for SQL Server"},
        {{"ODBC Driver 17 for SQL Server", "SQL Server", "ODBC Driver 13 for SQL Server"},
         "ODBC Driver 17 for SQL Server"},
        {{"PostgreSQL Unicode(x64)", "SQL Server"}, "SQL Server"},
        {{"PostgreSQL Unicode(x64)"}, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(sqlServerOdbcDriver(windowsWith(row.installed).odbcDrivers.value()), QString::fromUtf8(row.expected));

    const ConnectionPlan plan = planConnection(setting("SQLOLEDB", "PO-SV\\SQLEXPRESS,1433", "PODB"), QString(),
                                               windowsWith({"SQL Server", "ODBC Driver 18 for SQL Server"}));
    EXPECT_EQ(plan.driver, QStringLiteral("QODBC"));
    EXPECT_EQ(plan.databaseName, QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER=PO-SV\\SQLEXPRESS,1433;"
                                                "DATABASE=PODB;Encrypt=no;"));
    EXPECT_EQ(plan.userName, QStringLiteral("sa"));

    DbSetting windowsUser = setting("MSOLEDBSQL19", "(local)", "PODB");
    windowsUser.UserName.clear();
    EXPECT_EQ(planConnection(windowsUser, QString(), windowsWith({"SQL Server"})).databaseName,
              QStringLiteral("DRIVER={SQL Server};SERVER=(local);DATABASE=PODB;Trusted_Connection=yes;"));
}

TEST(connection_plan, a_missing_driver_is_a_failure_that_names_it)
{
    QString description;
    EXPECT_EQ(failureNumber(setting("SQLNCLI11", "sv", "po"), windowsWith({"PostgreSQL Unicode(x64)"}), &description),
              toNumber(FailureCode::DbDriverMissing));
    EXPECT_TRUE(description.contains(QStringLiteral("ODBC Driver 18 for SQL Server"))) << description.toStdString();

    EXPECT_EQ(
        failureNumber(setting("ODBC", "Driver={MySQL ODBC 8.0};Server=x;"), windowsWith({"SQL Server"}), &description),
        toNumber(FailureCode::DbDriverMissing));
    EXPECT_TRUE(description.contains(QStringLiteral("MySQL ODBC 8.0"))) << description.toStdString();
    // A driver that is there, named without braces and in another case, and a DSN, pass.
    EXPECT_EQ(failureNumber(setting("ODBC", "driver=sql server;Server=x"), windowsWith({"SQL Server"})), 0);
    EXPECT_EQ(failureNumber(setting("ODBC", "PO_DSN"), windowsWith({})), 0);

    EXPECT_EQ(failureNumber(setting("PostgreSQL", "db:5432", "po"), windowsWith({"SQL Server"}), &description),
              toNumber(FailureCode::DbDriverMissing));
    EXPECT_TRUE(description.contains(QStringLiteral("psqlODBC"))) << description.toStdString();
}

TEST(connection_plan, postgres_without_qt_s_driver_goes_through_psqlodbc)
{
    const ConnectionPlan plan = planConnection(setting("PostgreSQL", "db.local:5433", "po", 15), QString(),
                                               windowsWith({"PostgreSQL ANSI(x64)", "PostgreSQL Unicode(x64)"}));
    EXPECT_EQ(plan.driver, QStringLiteral("QODBC"));
    EXPECT_EQ(plan.databaseName,
              QStringLiteral("DRIVER={PostgreSQL Unicode(x64)};SERVER=db.local;PORT=5433;DATABASE=po;"));
    EXPECT_EQ(plan.connectOptions, QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15"));
    // Where Qt's driver is built, it is used, whatever ODBC offers.
    DriverInventory withQpsql = windowsWith({"PostgreSQL Unicode(x64)"});
    withQpsql.qpsql = true;
    EXPECT_EQ(planConnection(setting("PostgreSQL", "db.local"), QString(), withQpsql).driver, QStringLiteral("QPSQL"));
}
