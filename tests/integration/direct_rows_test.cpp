// The search's rows read straight from SQLite, PostgreSQL and ODBC hold exactly what reading them
// through the driver gives: text (Japanese, empty, padded), NULL, integers, reals and blobs,
// dates, in the statement's order; and the databases' failures are the driver's numbered failures.
#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "integration/DbBackends.h"
#include "search/OdbcRows.h"
#include "search/PostgresRows.h"
#include "search/SqliteRows.h"
#include "settings/LoadSettings.h"
#include "support/TestSupport.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"

#include <gtest/gtest.h>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

using namespace tolvar;

namespace {

// The same rows through the driver, as the search read them before.
PoResultRows throughDriver(const QString& statement, const QVariantList& values)
{
    Recordset rs;
    rs.Open(statement, values, *gCnPo, adOpenForwardOnly);
    PoResultRows rows;
    for (; !rs.Eof(); rs.MoveNext())
        for (int c = 0; c < PoResultModel::kColumns; ++c)
            rows.append(rs.Fields(c));
    return rows;
}

class SqliteRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::useBackend(test::Backend::SQLite, scratch));
        {
            // The program opens its database read-only: the table is made beforehand.
            QSqlDatabase setup = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("rows-setup"));
            setup.setDatabaseName(gPoDbSetting.ServerName);
            ASSERT_TRUE(setup.open());
            QSqlQuery q(setup);
            ASSERT_TRUE(q.exec(QStringLiteral("Create Table T (k Integer, a, b, c, d, e, f, g, h, i, j)")));
            // Every kind of value SQLite stores, in every column, by rows of ten.
            ASSERT_TRUE(q.exec(QStringLiteral(
                "Insert Into T Values (1, '発注書', '', NULL, 42, -7, 2.5, 1e300, 0.1, X'E697A5E69CAC', X''), "
                "(2, 'P26-0001', '2026/01/15', '2026-01-15 10:00:00', 0, 9007199254740993, -0.0, 3.0, 1e-7, NULL, "
                "'x'), (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
                // Text that is not UTF-8 throughout, as a careless writer may leave it.
                "(4, CAST(X'FF61' AS TEXT), CAST(X'E697' AS TEXT), 'ok', NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
                // A byte-order mark: the driver drops one that begins the text, keeps one within.
                "(5, CAST(X'EFBBBF41' AS TEXT), CAST(X'41EFBBBF' AS TEXT), NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                "NULL)")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("rows-setup"));
        ASSERT_EQ(dbOpen(), 0);
    }
    void TearDown() override { dbClose(); }

    QTemporaryDir scratch;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

void expectSame(const PoResultRows& direct, const PoResultRows& driver)
{
    ASSERT_EQ(direct.cellCount(), driver.cellCount());
    for (qsizetype i = 0; i < direct.cellCount(); ++i) {
        EXPECT_EQ(direct.cell(i), driver.cell(i)) << "cell " << i;
        EXPECT_EQ(direct.cell(i).isNull(), driver.cell(i).isNull()) << "cell " << i;
    }
}

}  // namespace

TEST_F(SqliteRowsTest, every_kind_of_value_reads_as_through_the_driver)
{
    const QString statement = QStringLiteral("Select a, b, c, d, e, f, g, h, i, j From T Where k >= ? Order By k Desc");
    const QVariantList values{QStringLiteral("1")};
    const std::optional<PoResultRows> direct = readSqliteRows(gCnPo->database(), statement, values);
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ(direct->cellCount(), 50);
    EXPECT_EQ(direct->cell(40), QStringLiteral("発注書"));
    EXPECT_TRUE(direct->cell(20).isNull());
    EXPECT_FALSE(direct->cell(41).isNull());
    EXPECT_EQ(direct->cell(0), QStringLiteral("A"));
    EXPECT_EQ(direct->cell(1), QStringLiteral("A\uFEFF"));
    expectSame(*direct, throughDriver(statement, values));

    // Fewer columns than the grid has, or a value that is not text, are left to the driver.
    EXPECT_FALSE(readSqliteRows(gCnPo->database(), QStringLiteral("Select a, e, h From T"), {}).has_value());
    EXPECT_FALSE(readSqliteRows(gCnPo->database(), statement, {QVariant(1)}).has_value());
}

TEST_F(SqliteRowsTest, a_statement_sqlite_refuses_is_a_numbered_failure)
{
    try {
        readSqliteRows(gCnPo->database(), QStringLiteral("Select a From Nowhere"), {});
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 1);  // SQLite's own code, as the driver reports it
        EXPECT_TRUE(f.description().contains(QStringLiteral("Nowhere"))) << f.description().toStdString();
    }
}

class PostgresRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::useBackend(test::Backend::PostgreSQL, scratch))
            GTEST_SKIP() << test::postgresSkipReason().toStdString();
        ASSERT_EQ(dbOpen(), 0);
        // A table of this session only: the direct reading goes through the same connection.
        QSqlQuery q(gCnPo->database());
        ASSERT_TRUE(
            q.exec(QStringLiteral("Create Temp Table T (k int, a varchar(20), b char(3), c date, d text, "
                                  "e varchar(20), f date, g varchar(20), h varchar(20), i varchar(20), "
                                  "j varchar(20))")));
        ASSERT_TRUE(q.exec(QStringLiteral(
            "Insert Into T Values (1, '発注書', 'A', '2026-01-15', '', NULL, '0001-01-01', 'P26-0001', '中文納品先', "
            "'x', 'y'), (2, NULL, NULL, NULL, NULL, NULL, '12345-06-07', NULL, NULL, NULL, NULL), "
            "(3, 'z', 'ab', '2026-12-31', 'long text ''quoted''', '?', '0044-03-15 BC', '', ' ', '  ', 'end')")))
            << q.lastError().text().toStdString();
    }
    void TearDown() override
    {
        if (gCnPo)
            dbClose();
    }

    QTemporaryDir scratch;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

TEST_F(PostgresRowsTest, text_dates_and_nulls_read_as_through_the_driver)
{
    // A "?" in quoted text is not a value to bind.
    const QString statement = QStringLiteral(
        "Select a, b, c, d, e, f, g, h, i, j From T Where k >= ? And e Is Distinct From '?x' "
        "Order By k Desc");
    const QVariantList values{QStringLiteral("1")};
    const std::optional<PoResultRows> direct = readPostgresRows(gCnPo->database(), statement, values);
    ASSERT_TRUE(direct.has_value());
    EXPECT_EQ(direct->cellCount(), 30);
    EXPECT_EQ(direct->cell(22), QStringLiteral("2026/01/15"));
    expectSame(*direct, throughDriver(statement, values));

    // A column of another type is left to the driver; so is a value that is not text.
    EXPECT_FALSE(readPostgresRows(gCnPo->database(), QStringLiteral("Select k, b, c, d, e, f, g, h, i, j From T"), {})
                     .has_value());
    EXPECT_FALSE(readPostgresRows(gCnPo->database(), statement, {QVariant(1)}).has_value());
}

TEST_F(PostgresRowsTest, a_statement_the_server_refuses_is_a_numbered_failure)
{
    try {
        readPostgresRows(gCnPo->database(), QStringLiteral("Select a From Nowhere"), {});
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_NE(f.number(), 0);
        EXPECT_TRUE(f.description().contains(QStringLiteral("nowhere"))) << f.description().toStdString();
    }
}

// ODBC both ways: SQL Server through FreeTDS, whose texts come in UTF-8, and PostgreSQL through
// psqlODBC, whose texts come in UTF-16; a table of the session's own on each.
class OdbcRowsTest : public ::testing::TestWithParam<test::Backend> {
protected:
    void SetUp() override
    {
        if (!test::useBackend(GetParam(), scratch))
            GTEST_SKIP() << test::skipReason(GetParam()).toStdString();
        ASSERT_EQ(dbOpen(), 0);
        const bool tsql = GetParam() == test::Backend::SqlServer;
        table = tsql ? QStringLiteral("#T") : QStringLiteral("T");
        QSqlQuery q(gCnPo->database());
        ASSERT_TRUE(q.exec(tsql ? QStringLiteral("Create Table #T (k int, a nvarchar(20), b char(3), c datetime, "
                                                 "d nvarchar(200), e varchar(20), f date, g nvarchar(max), "
                                                 "h nvarchar(20), i varchar(20), j nvarchar(20))")
                                : QStringLiteral("Create Temp Table T (k int, a varchar(20), b char(3), c timestamp, "
                                                 "d text, e varchar(20), f date, g text, h varchar(20), "
                                                 "i varchar(20), j varchar(20))")))
            << q.lastError().text().toStdString();
        QString rows = QStringLiteral(
            "Insert Into %1 Values (1, N'発注書', 'A', '2026-01-15 00:00:00', N'', NULL, '2026-01-15', "
            "N'中文納品先 𠮷', N'P26-0001', 'x', N'y'), (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
            "NULL), (3, N'z', 'ab', '2026-12-31 16:20:30', N'long text ''quoted''', '?', '1999-12-31', N'', "
            "N' ', '  ', N'end')");
        if (!tsql)
            rows.replace(QStringLiteral("N'"), QStringLiteral("'"));
        ASSERT_TRUE(q.exec(rows.arg(table))) << q.lastError().text().toStdString();
    }
    void TearDown() override
    {
        if (gCnPo)
            dbClose();
    }

    QString table;
    QTemporaryDir scratch;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

TEST_P(OdbcRowsTest, text_dates_and_nulls_read_as_through_the_driver)
{
    // Bound columns only, and with a long column that is read value by value.
    for (const QString& columns :
         {QStringLiteral("a, b, c, d, e, f, h, h, i, j"), QStringLiteral("a, b, c, d, e, f, g, h, i, j")}) {
        const QString statement =
            QStringLiteral("Select %1 From %2 Where k >= ? And (f Between ? And ? Or f Is Null) Order By k Desc")
                .arg(columns, table);
        const QVariantList values{1, QDate(1999, 1, 1), QDate(2026, 12, 31)};
        const std::optional<PoResultRows> direct = readOdbcRows(gCnPo->database(), statement, values);
        ASSERT_TRUE(direct.has_value()) << columns.toStdString();
        ASSERT_EQ(direct->cellCount(), 30);
        EXPECT_EQ(direct->cell(2), QStringLiteral("2026/12/31 16:20:30"));
        EXPECT_EQ(direct->cell(22), QStringLiteral("2026/01/15"));
        expectSame(*direct, throughDriver(statement, values));
    }
}

TEST_P(OdbcRowsTest, a_statement_the_server_refuses_is_a_numbered_failure)
{
    try {
        readOdbcRows(gCnPo->database(), QStringLiteral("Select a From Nowhere"), {});
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_NE(f.number(), 0);
        EXPECT_TRUE(f.description().contains(QStringLiteral("nowhere"), Qt::CaseInsensitive))
            << f.description().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(backends, OdbcRowsTest, ::testing::Values(test::Backend::ODBC, test::Backend::SqlServer),
                         [](const auto& info) { return std::string(test::backendName(info.param)); });
