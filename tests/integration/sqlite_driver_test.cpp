// The program's own SQLite driver reads what Qt's SQLite plugin reads, side by side on one file:
// every kind of value under both number policies, column names, statements that return no row,
// bound values of every type, and each failure with its texts and number (the statement, its
// values, a row that fails after others, a missing file, a file that is not a database).
#include "db/SqliteDriver.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

namespace {

// What a statement gave: its columns, its rows (each value as its type, its text and whether it
// is null, since values of two number types compare equal) and its failure.
struct Outcome {
    bool ran = false;
    QStringList columns;
    QList<QStringList> rows;
    QString driverText, databaseText, code;

    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o)
{
    out << "ran " << o.ran << ", columns " << o.columns.join(QLatin1Char('|')).toStdString() << ", " << o.rows.size()
        << " rows";
    for (const QStringList& row : o.rows)
        out << "\n  " << row.join(QLatin1Char(' ')).toStdString();
    return out << "\n  failure [" << o.driverText.toStdString() << "] [" << o.databaseText.toStdString() << "] "
               << o.code.toStdString();
}

class SqliteDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!tolvar::makeSqliteDriver())
            GTEST_SKIP() << "this build reads SQLite through Qt's plugin only";
        file = dir.filePath(QStringLiteral("po.db"));
        {
            QSqlDatabase setup = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("driver-setup"));
            setup.setDatabaseName(file);
            ASSERT_TRUE(setup.open());
            QSqlQuery q(setup);
            ASSERT_TRUE(
                q.exec(QStringLiteral("Create Table T (k Integer, a Text, b Real, c Blob, d, e Numeric(9,2))")));
            ASSERT_TRUE(q.exec(QStringLiteral(
                "Insert Into T Values (1, '発注書', 2.5, X'00FF', 'free', 12.34), (2, '', -0.0, X'', 42, NULL), "
                "(3, NULL, 1e300, NULL, 9007199254740993, 7), (4, CAST(X'FF61E697' AS TEXT), NULL, NULL, 0.1, 3)")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("driver-setup"));
        ours = open(tolvar::makeSqliteDriver().release(), QStringLiteral("ours"), file);
        qt = open(nullptr, QStringLiteral("qt"), file);
        ASSERT_TRUE(ours.isOpen()) << ours.lastError().text().toStdString();
        ASSERT_TRUE(qt.isOpen()) << qt.lastError().text().toStdString();
    }
    void TearDown() override
    {
        ours = QSqlDatabase();
        qt = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("ours"));
        QSqlDatabase::removeDatabase(QStringLiteral("qt"));
    }

    // driver: the program's (owned by the connection from here on), or nullptr for Qt's plugin.
    static QSqlDatabase open(QSqlDriver* driver, const QString& name, const QString& path)
    {
        QSqlDatabase db = driver ? QSqlDatabase::addDatabase(driver, name)
                                 : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
        db.open();
        return db;
    }

    static Outcome run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {},
                       QSql::NumericalPrecisionPolicy policy = QSql::LowPrecisionDouble)
    {
        Outcome o;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.setNumericalPrecisionPolicy(policy);
        if (q.prepare(sql)) {
            for (const QVariant& v : values)
                q.addBindValue(v);
            o.ran = q.exec();
        }
        const QSqlRecord record = q.record();
        for (int i = 0; i < record.count(); ++i)
            o.columns << record.fieldName(i) + QLatin1Char(':') + QString::number(record.field(i).metaType().id());
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < record.count(); ++i) {
                const QVariant v = q.value(i);
                row << QString::fromLatin1(v.typeName()) + QLatin1Char(':') +
                           (v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                : v.toString()) +
                           (v.isNull() ? QStringLiteral("(null)") : QString());
            }
            o.rows << row;
        }
        o.driverText = q.lastError().driverText();
        o.databaseText = q.lastError().databaseText();
        o.code = q.lastError().nativeErrorCode();
        return o;
    }

    void expectSame(const QString& sql, const QVariantList& values = {},
                    QSql::NumericalPrecisionPolicy policy = QSql::LowPrecisionDouble)
    {
        EXPECT_EQ(run(ours, sql, values, policy), run(qt, sql, values, policy)) << sql.toStdString();
    }

    QTemporaryDir dir;
    QString file;
    QSqlDatabase ours, qt;
};

}  // namespace

TEST_F(SqliteDriverTest, values_names_and_empty_results_read_as_through_qt)
{
    const QString all = QStringLiteral("Select * From T Where k >= ? Order By k");
    expectSame(all, {1});
    expectSame(all, {1}, QSql::LowPrecisionInt64);
    expectSame(all, {1}, QSql::LowPrecisionInt32);
    EXPECT_EQ(run(ours, all, {1}).rows.size(), 4);
    EXPECT_EQ(run(ours, all, {1}).rows[0][1], QStringLiteral("QString:発注書"));
    // Names as written, quotes and all; expressions; a statement that finds nothing.
    expectSame(QStringLiteral("Select a As \"quoted name\", count(*), k * 1.5, 'x' || d From T Group By a"));
    expectSame(QStringLiteral("Select k, a From T Where 0"));
    expectSame(QStringLiteral("Select k From T Where k > 9"));
    // The handle the search's direct reader takes.
    EXPECT_STREQ(ours.driver()->handle().typeName(), "sqlite3*");
}

TEST_F(SqliteDriverTest, every_type_of_value_binds_as_through_qt)
{
    const QString sql = QStringLiteral("Select ?, typeof(?)");
    const QVariantList values = {QVariant(7),
                                 QVariant(qlonglong(9007199254740993)),
                                 QVariant(2.5),
                                 QVariant(true),
                                 QVariant(QStringLiteral("発注")),
                                 QVariant(QString()),
                                 QVariant(QByteArray("\x00\x01", 2)),
                                 QVariant(QDate(2026, 1, 15)),
                                 QVariant(QDateTime(QDate(2026, 1, 15), QTime(10, 0, 5, 7))),
                                 QVariant(QTime(10, 0)),
                                 QVariant(QDate()),
                                 QVariant(QMetaType::fromType<int>())};
    for (const QVariant& v : values)
        expectSame(sql, {v, v});
    // The same statement run again with other values.
    QSqlQuery q(ours);
    ASSERT_TRUE(q.prepare(QStringLiteral("Select k From T Where k = ?")));
    for (int k : {2, 3}) {
        q.addBindValue(k);
        ASSERT_TRUE(q.exec());
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), k);
    }
}

TEST_F(SqliteDriverTest, failures_carry_qt_texts_and_sqlite_numbers)
{
    expectSame(QStringLiteral("Select nothing From Nowhere"));
    expectSame(QStringLiteral("Select 1; Select 2"));
    expectSame(QStringLiteral("Select k From T Where k = ?"));
    expectSame(QStringLiteral("Select k From T Where k = ?"), {1, 2});
    // A failure at the first row fails the statement; one at a later row ends the rows.
    expectSame(QStringLiteral("Select abs(-9223372036854775807 - 1)"));
    // (the rows in the order stored: sorting would read them all before the first)
    const QString late3 = QStringLiteral("Select Case When k = 3 Then abs(-9223372036854775807 - 1) Else k End From T");
    expectSame(late3);
    const Outcome late = run(ours, late3);
    EXPECT_EQ(late.rows.size(), 2);
    EXPECT_EQ(late.databaseText, QStringLiteral("integer overflow"));

    // A missing file and a file that is not a database, opened read-only.
    const auto openFailure = [&](QSqlDriver* driver, const QString& name, const QString& path) {
        QSqlDatabase db = open(driver, name, path);
        QStringList seen{QString::number(db.isOpen()), db.lastError().driverText(), db.lastError().databaseText(),
                         db.lastError().nativeErrorCode()};
        if (db.isOpen()) {
            QSqlQuery probe(db);
            seen << QString::number(probe.exec(QStringLiteral("Select count(*) From sqlite_master")))
                 << probe.lastError().driverText() << probe.lastError().databaseText()
                 << probe.lastError().nativeErrorCode();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        return seen;
    };
    const QString missing = dir.filePath(QStringLiteral("missing.db"));
    EXPECT_EQ(openFailure(tolvar::makeSqliteDriver().release(), QStringLiteral("ours-missing"), missing),
              openFailure(nullptr, QStringLiteral("qt-missing"), missing));
    EXPECT_FALSE(QFile::exists(missing));
    const QString text = dir.filePath(QStringLiteral("notes.db"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write(QByteArray(4096, 'x'));
    notes.close();
    const QStringList notADatabase =
        openFailure(tolvar::makeSqliteDriver().release(), QStringLiteral("ours-notes"), text);
    EXPECT_EQ(notADatabase, openFailure(nullptr, QStringLiteral("qt-notes"), text));
    EXPECT_EQ(notADatabase.value(7), QStringLiteral("26"));
}

TEST_F(SqliteDriverTest, closing_with_a_statement_still_open_ends_it)
{
    QSqlQuery q(ours);
    q.setForwardOnly(true);
    ASSERT_TRUE(q.exec(QStringLiteral("Select k From T Order By k")));
    ASSERT_TRUE(q.next());
    ours.close();
    EXPECT_FALSE(ours.isOpen());
    EXPECT_FALSE(ours.lastError().isValid()) << ours.lastError().text().toStdString();
    EXPECT_FALSE(q.next());
    // The connection opens again and reads.
    ASSERT_TRUE(ours.open());
    EXPECT_EQ(run(ours, QStringLiteral("Select count(*) From T")).rows.value(0).value(0),
              QStringLiteral("qlonglong:4"));
}
