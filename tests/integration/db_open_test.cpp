// dbOpen and dbClose on real databases: states, messages, numbers, time-outs and encryption.
#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "integration/DbBackends.h"
#include "settings/LoadSettings.h"
#include "support/TestSupport.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace tolvar;

namespace {

class DbOpenTest : public ::testing::Test {
protected:
    // dbOpen once; expects exactly one message on failure and returns the number.
    qint32 open(const DbSetting& setting)
    {
        gPoDbSetting = setting;
        recorder.messages.clear();
        qint32 kind = kPoDatabase;
        const qint32 number = dbOpen(kind);
        if (number != 0) {
            EXPECT_EQ(recorder.messages.size(), 1u);
            if (!recorder.messages.empty()) {
                const Message& m = recorder.messages[0];
                EXPECT_EQ(m.caption, QStringLiteral("dbOpen"));
                EXPECT_EQ(m.icon, MsgIcon::Critical);
                EXPECT_TRUE(m.text.endsWith(QLatin1Char('(') + QString::number(number) + QLatin1Char(')')))
                    << m.text.toStdString();
            }
        } else {
            EXPECT_TRUE(recorder.messages.empty());
        }
        return number;
    }
    void close()
    {
        qint32 kind = kPoDatabase;
        dbClose(kind);
    }

    QTemporaryDir scratch;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

// A loopback listener that accepts connections into its backlog and never answers.
class SilentListener {
public:
    SilentListener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 8);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentListener() { ::close(fd_); }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace

TEST_F(DbOpenTest, close_before_any_open_and_twice_shows_nothing)
{
    gCnPo.reset();
    close();
    close();
    const auto sqlite = test::settingFor(test::Backend::SQLite, scratch);
    ASSERT_EQ(open(*sqlite), 0);
    EXPECT_TRUE(gCnPo->isOpen());
    close();
    EXPECT_FALSE(gCnPo->isOpen());
    close();
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(DbOpenTest, every_open_makes_a_new_connection)
{
    const auto sqlite = test::settingFor(test::Backend::SQLite, scratch);
    ASSERT_EQ(open(*sqlite), 0);
    const QString first = gCnPo->name();
    ASSERT_EQ(open(*sqlite), 0);
    EXPECT_NE(gCnPo->name(), first);
    close();
}

TEST_F(DbOpenTest, sqlite_failures_have_their_numbers_and_never_create_a_file)
{
    DbSetting s;
    s.Provider = QStringLiteral("SQLite");
    s.ServerName = scratch.filePath(QStringLiteral("missing.db"));
    EXPECT_EQ(open(s), toNumber(FailureCode::DbFileMissing));
    EXPECT_FALSE(QFile::exists(s.ServerName));
    EXPECT_FALSE(gCnPo->isOpen());

    s.ServerName = scratch.filePath(QStringLiteral("not-a-database.db"));
    test::writeFile(s.ServerName, QByteArray(4096, 'x'));
    EXPECT_EQ(open(s), 26);  // SQLITE_NOTADB

    s.ServerName.clear();
    EXPECT_EQ(open(s), toNumber(FailureCode::DbEmptyServer));
    s.Provider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
    s.ServerName = QStringLiteral("x.mdb");
    EXPECT_EQ(open(s), toNumber(FailureCode::DbUnknownProvider));
}

TEST_F(DbOpenTest, postgres_open_close_and_wrong_credentials)
{
    const auto pg = test::postgresSetting();
    if (!pg)
        GTEST_SKIP() << test::postgresSkipReason().toStdString();
    ASSERT_EQ(open(*pg), 0);
    EXPECT_TRUE(gCnPo->isOpen());
    close();
    EXPECT_FALSE(gCnPo->isOpen());

    DbSetting wrong = *pg;
    wrong.Password = QStringLiteral("wrong");
    EXPECT_NE(open(wrong), 0);
    EXPECT_FALSE(gCnPo->isOpen());
    DbSetting noDatabase = *pg;
    noDatabase.DbName = QStringLiteral("no_such_db");
    EXPECT_NE(open(noDatabase), 0);
    DbSetting empty = *pg;
    empty.ServerName.clear();
    EXPECT_EQ(open(empty), toNumber(FailureCode::DbEmptyServer));
}

TEST_F(DbOpenTest, postgres_unreachable_hosts_fail_within_the_time_out)
{
    DbSetting s;
    s.Provider = QStringLiteral("PostgreSQL");
    s.DbName = QStringLiteral("podb");
    s.UserName = QStringLiteral("tolvar");
    s.ConnectTimeout = 2;
    {
        SilentListener listener;
        s.ServerName = QStringLiteral("127.0.0.1:%1").arg(listener.port());
        QElapsedTimer timer;
        timer.start();
        EXPECT_NE(open(s), 0);
        EXPECT_LT(timer.elapsed(), 6000);  // cut by connect_timeout, not waiting for ever
    }
    // A closed port is refused at once.
    int closedPort = 0;
    {
        SilentListener gone;
        closedPort = gone.port();
    }
    s.ServerName = QStringLiteral("127.0.0.1:%1").arg(closedPort);
    EXPECT_NE(open(s), 0);
}

// ENCRYPT=1 with the test authority's certificate: an encrypted connection, as the server sees it;
// with an authority that signed nothing of the server's, no connection at all. On PostgreSQL
// through Qt's driver and through psqlODBC, and on SQL Server through FreeTDS.
TEST_F(DbOpenTest, encryption_when_asked_is_encrypted_and_verified_or_no_connection)
{
    struct Way {
        test::Backend backend;
        const char* encrypted;  // true ('1', 't', "TRUE") when the connection is encrypted
        bool admin;             // the statement needs the server's administrator
    };
    const Way ways[] = {
        {test::Backend::PostgreSQL, "SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()", false},
        {test::Backend::ODBC, "SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()", false},
        {test::Backend::SqlServer, "SELECT encrypt_option FROM sys.dm_exec_connections WHERE session_id = @@SPID",
         true},
    };
    int tried = 0;
    for (const Way& way : ways) {
        std::optional<DbSetting> s = test::settingFor(way.backend, scratch);
        if (!s)
            continue;
        ++tried;
        const QString folder = way.backend == test::Backend::SqlServer
                                   ? QFileInfo(qEnvironmentVariable("TOLVAR_TEST_TDS_FILE")).absolutePath()
                                   : QFileInfo(qEnvironmentVariable("TOLVAR_TEST_PG_FILE")).absolutePath();
        if (way.admin) {
            const QJsonObject server = test::tdsServer().value_or(QJsonObject());
            s->UserName = server[QStringLiteral("adminUser")].toString();
            s->Password = server[QStringLiteral("adminPassword")].toString();
        }
        s->Encrypt = true;
        s->CaFile = QDir(folder).filePath(QStringLiteral("ca.crt"));
        ASSERT_EQ(open(*s), 0) << test::backendName(way.backend);
        Recordset rs;
        rs.Open(QString::fromLatin1(way.encrypted), {}, *gCnPo, adOpenStatic);
        const QString encrypted = rs.Fields(0).toString().toLower();
        EXPECT_TRUE(encrypted == QLatin1String("true") || encrypted == QLatin1String("1")) << encrypted.toStdString();
        rs.Close();
        close();
        s->CaFile = QDir(folder).filePath(QStringLiteral("other-ca.crt"));
        EXPECT_NE(open(*s), 0) << test::backendName(way.backend) << ": connected with an authority that signed nothing";
    }
    if (tried == 0)
        GTEST_SKIP() << test::postgresSkipReason().toStdString();
}
