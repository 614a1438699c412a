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

TEST(connection_plan, odbc_builds_the_whole_string_with_the_login_braced_where_it_must_be)
{
    struct Row {
        const char* server;
        const char* db;
        const char* user;
        const char* password;
        const char* expected;
    };
    const Row rows[] = {
        {"PoDsn", "po", "sa", "pw", "DSN=PoDsn;DATABASE=po;UID=sa;PWD=pw;"},
        {"PoDsn", "", "", "", "DSN=PoDsn;"},
        {"PO.dsn", "", "", "", "DSN=PO.dsn;"},
        // The office's own string keeps its words; the settings' login takes the place of its own.
        {"DRIVER={PostgreSQL Unicode};SERVER=h;UID=old;PWD={o;ld}", "", "sa", "",
         "DRIVER={PostgreSQL Unicode};SERVER=h;UID=sa;PWD=;"},
        {"Driver={FreeTDS}; Server = h ;Port=1433", "", "", "", "Driver={FreeTDS};Server = h;Port=1433;"},
        // A password that would end the attribute or start another reaches the driver as one value.
        {"PoDsn", "", "tolvar", "secret;SERVER=127.0.0.1;PORT=14330",
         "DSN=PoDsn;UID=tolvar;PWD={secret;SERVER=127.0.0.1;PORT=14330};"},
        {"PoDsn", "", "a}b", "{x}", "DSN=PoDsn;UID={a}}b};PWD={{x}}};"},
        {"PoDsn", "", "", " lead", "DSN=PoDsn;PWD={ lead};"},
    };
    for (const Row& r : rows) {
        DbSetting s = setting("ODBC", r.server, r.db);
        s.UserName = QString::fromUtf8(r.user);
        s.Password = QString::fromUtf8(r.password);
        const ConnectionPlan plan = planConnection(s, QString());
        EXPECT_EQ(plan.driver, QStringLiteral("ODBC"));
        EXPECT_EQ(plan.databaseName, QString::fromUtf8(r.expected)) << r.server << " " << r.password;
        EXPECT_TRUE(plan.userName.isEmpty() && plan.password.isEmpty());
    }
    EXPECT_EQ(planConnection(setting("ODBC", "PoDsn"), QString()).connectOptions,
              QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=20;SQL_ATTR_CONNECTION_TIMEOUT=20"));
    // A DSN or a driver name that the driver manager says is FreeTDS's library gets FreeTDS's braces.
    DriverInventory freeTds;
    freeTds.odbcDriverFiles.insert(QStringLiteral("sql server"), QStringLiteral("/usr/lib/odbc/libtdsodbc.so"));
    freeTds.odbcDataSources.insert(QStringLiteral("podsn"), QStringLiteral("SQL Server"));
    DbSetting s = setting("ODBC", "PoDsn");
    s.Password = QStringLiteral("{x}");
    EXPECT_EQ(planConnection(s, QString(), freeTds).databaseName, QStringLiteral("DSN=PoDsn;UID=sa;PWD={{x}};"));
    s.ServerName = QStringLiteral("DRIVER={SQL Server};SERVER=h");
    EXPECT_EQ(planConnection(s, QString(), freeTds).databaseName,
              QStringLiteral("DRIVER={SQL Server};SERVER=h;UID=sa;PWD={{x}};"));
    // A string the driver manager would misread is refused before it reaches it.
    EXPECT_EQ(failureNumber(setting("ODBC", "DRIVER={FreeTDS;SERVER=h")), toNumber(FailureCode::DbOpenFailed));
}

TEST(connection_plan, a_driver_named_by_a_path_is_refused_before_anything_is_loaded)
{
    for (const char* server : {"DRIVER=/home/member/evil.so;SERVER=x", "Driver={C:\\Users\\x\\evil.dll};Server=x",
                               "DRIVER=./evil.so", "FILEDSN=/home/member/po.dsn", "DSN=PO;SAVEFILE=/tmp/x.dsn"}) {
        EXPECT_EQ(failureNumber(setting("ODBC", server)), toNumber(FailureCode::DbDriverPath)) << server;
    }
}

TEST(connection_plan, sql_server_provider_names_use_freetds_through_odbc)
{
    const char* names[] = {"SQLOLEDB", "sqloledb.1", "SQLNCLI11", "SQLNCLI10.1", "MSOLEDBSQL", "MSOLEDBSQL19"};
    for (const char* name : names) {
        const ConnectionPlan plan = planConnection(setting(name, "SRV01,1433", "PODB"), QString());
        EXPECT_EQ(plan.driver, QStringLiteral("ODBC")) << name;
        EXPECT_EQ(plan.databaseName,
                  QStringLiteral("DRIVER={FreeTDS};SERVER=SRV01;PORT=1433;DATABASE=PODB;UID=sa;PWD=pw;"
                                 "TDS_Version=7.4;ClientCharset=UTF-8;PacketSize=32767;"))
            << name;
    }
    // FreeTDS ends a braced value at the first "};" and keeps "}}" as two braces: a '}' goes single,
    // and a value it cannot be given is refused rather than sent as another.
    DbSetting braces = setting("SQLOLEDB", "SRV01", "PODB");
    braces.Password = QStringLiteral("po;{pass}=1");
    EXPECT_TRUE(planConnection(braces, QString()).databaseName.contains(QStringLiteral(";PWD={po;{pass}=1};")));
    braces.Password = QStringLiteral("a};b");
    EXPECT_EQ(failureNumber(braces), toNumber(FailureCode::DbOpenFailed));
    EXPECT_EQ(planConnection(setting("SQLOLEDB", "(local)\\SQLEXPRESS", "a;b"), QString()).databaseName,
              QStringLiteral("DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;DATABASE={a;b};UID=sa;PWD=pw;"
                             "TDS_Version=7.4;ClientCharset=UTF-8;PacketSize=32767;"));
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
    drivers.microsoftSqlServer = true;
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
    EXPECT_EQ(plan.driver, QStringLiteral("ODBC"));
    EXPECT_EQ(plan.databaseName, QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER=PO-SV\\SQLEXPRESS,1433;"
                                                "DATABASE=PODB;UID=sa;PWD=pw;Encrypt=no;"));

    // FreeTDS registered under a Microsoft driver's name (Wine hands ODBC to the host's unixODBC):
    // the port apart, as FreeTDS reads it.
    DriverInventory wine = windowsWith({"ODBC Driver 18 for SQL Server"});
    wine.odbcDriverFiles.insert(QStringLiteral("odbc driver 18 for sql server"),
                                QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"));
    EXPECT_EQ(planConnection(setting("SQLOLEDB", "127.0.0.1,14330", "PODB"), QString(), wine).databaseName,
              QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER=127.0.0.1;PORT=14330;DATABASE=PODB;UID=sa;"
                             "PWD=pw;TDS_Version=7.4;ClientCharset=UTF-8;PacketSize=32767;"));

    DbSetting windowsUser = setting("MSOLEDBSQL19", "(local)", "PODB");
    windowsUser.UserName.clear();
    EXPECT_EQ(planConnection(windowsUser, QString(), windowsWith({"SQL Server"})).databaseName,
              QStringLiteral("DRIVER={SQL Server};SERVER=(local);DATABASE=PODB;PWD=pw;Trusted_Connection=yes;"));
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
    EXPECT_EQ(plan.driver, QStringLiteral("ODBC"));
    EXPECT_EQ(plan.databaseName,
              QStringLiteral("DRIVER={PostgreSQL Unicode(x64)};SERVER=db.local;PORT=5433;DATABASE=po;UID=sa;PWD=pw;"));
    EXPECT_EQ(plan.connectOptions, QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=15"));
    // Where Qt's driver is built, it is used, whatever ODBC offers.
    DriverInventory withQpsql = windowsWith({"PostgreSQL Unicode(x64)"});
    withQpsql.qpsql = true;
    EXPECT_EQ(planConnection(setting("PostgreSQL", "db.local"), QString(), withQpsql).driver, QStringLiteral("QPSQL"));
}

TEST(connection_plan, encrypt_asks_each_driver_for_an_encrypted_verified_connection)
{
    DbSetting pg = setting("PostgreSQL", "db.local:5433", "po");
    pg.Encrypt = true;
    pg.CaFile = QStringLiteral("certs/office ca.pem");
    EXPECT_EQ(planConnection(pg, QStringLiteral("/opt/tolvar")).connectOptions,
              QStringLiteral("connect_timeout=20;sslmode=verify-full;sslrootcert='/opt/tolvar/certs/office ca.pem'"));

    // FreeTDS verifies only a server of its configuration file: the server goes there.
    DbSetting tds = setting("SQLOLEDB", "SRV01\\PO,1433", "PODB");
    tds.Encrypt = true;
    const ConnectionPlan freeTds = planConnection(tds, QString());
    EXPECT_EQ(freeTds.databaseName,
              QStringLiteral("DRIVER={FreeTDS};DATABASE=PODB;UID=sa;PWD=pw;TDS_Version=7.4;ClientCharset=UTF-8;"
                             "PacketSize=32767;Encryption=require;SERVERNAME=tolvar-encrypted;"));
    EXPECT_EQ(freeTds.freeTdsConfiguration,
              QStringLiteral("[tolvar-encrypted]\n\thost = SRV01\n\tinstance = PO\n\tport = 1433\n\ttds version = 7.4\n"
                             "\tencryption = require\n\tca file = system\n\tcheck certificate hostname = yes\n"));

    DbSetting ms = setting("SQLOLEDB", "PO-SV", "PODB");
    ms.Encrypt = true;
    EXPECT_TRUE(planConnection(ms, QString(), windowsWith({"ODBC Driver 18 for SQL Server"}))
                    .databaseName.endsWith(QStringLiteral("Encrypt=yes;TrustServerCertificate=no;")));
    // An absolute CA_FILE is taken as it stands (absolute in this system's own terms: on Windows a
    // name from the root of no drive is not).
    DbSetting psql = setting("PostgreSQL", "db.local", "po");
    psql.Encrypt = true;
    psql.CaFile = QDir::tempPath() + QStringLiteral("/ca.pem");
    EXPECT_TRUE(
        planConnection(psql, QString(), windowsWith({"PostgreSQL Unicode(x64)"}))
            .databaseName.endsWith(QStringLiteral("SSLMode=verify-full;pqopt={sslrootcert='%1'};").arg(psql.CaFile)));

    // A driver whose words for it are not known: no connection rather than one without.
    DbSetting other = setting("ODBC", "DRIVER={Some Driver};SERVER=x");
    other.Encrypt = true;
    EXPECT_EQ(failureNumber(other), toNumber(FailureCode::DbOpenFailed));
}
