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
