// po_file_make end to end: real databases (SQLite, the PostgreSQL and the T-SQL test servers), the
// real template, and every written cell read back by xlrd. Failures leave an older file untouched.
#include "db/ConnectionPlan.h"
#include "db/OdbcDriver.h"
#include "db/dbOpen.h"
#include "integration/DbBackends.h"
#include "pofile/PoWorkbook.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "support/TestSupport.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace tolvar;
using test::Backend;

namespace {

const QString kTemplate = QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls");

struct Line {
    QVariant qty, price;
};

// The POs of these tests; their staff code is NULL, so no search ever lists them.
void insertPo(QSqlDatabase& db, const QString& no, const QVariant& kind, const std::vector<Line>& lines,
              const QVariant& loss = 1, const QVariant& customerName = QStringLiteral("北星商事"))
{
    QSqlQuery del(db);
    del.prepare(QStringLiteral("DELETE FROM TBL_PO_M WHERE PO番号 = ?"));
    del.addBindValue(no);
    del.exec();
    del.prepare(QStringLiteral("DELETE FROM TBL_PO_H WHERE PO番号 = ?"));
    del.addBindValue(no);
    del.exec();
    QSqlQuery h(db);
    h.prepare(QStringLiteral(
        "INSERT INTO TBL_PO_H (PO番号, 発注区分, 発注先名, 発注先住所1, PO発行日, 得意先CD, 得意先名, 発注元担当者名, "
        "発注元名, "
        "納品先名, 請求先CD, 請求先名, 希望納期, 運賃請求, ロス率, ロス請求の有無, 備考1, 備考2, 通貨区分, "
        "客先契約番号) "
        "VALUES (?, ?, ?, ?, '2024/01/15', 'A01', ?, '山田 太郎', 'トルバル商事', '大阪倉庫', 'BL01', '北星商事', "
        "'2024/02/28', 0, ?, 1, 'AB', 'CD', 'JPY', NULL)"));
    for (const QVariant& v : {QVariant(no), kind, QVariant(QStringLiteral("12345")), QVariant(QStringLiteral("大阪市")),
                              customerName, loss})
        h.addBindValue(v);
    ASSERT_TRUE(h.exec()) << h.lastError().text().toStdString();
    QSqlQuery m(db);
    m.prepare(
        QStringLiteral("INSERT INTO TBL_PO_M (PO番号, PO行, 商品CD, 品名1, 品名2, 客先商品CD, 数量, 下代, 上代) "
                       "VALUES (?, ?, ?, ?, NULL, 'C1', ?, ?, 10)"));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        m.addBindValue(no);
        m.addBindValue(static_cast<int>(i + 1));
        m.addBindValue(QStringLiteral("ITM-%1").arg(i + 1, 3, 10, QLatin1Char('0')));
        m.addBindValue(QStringLiteral("品名%1").arg(i + 1));
        m.addBindValue(lines[i].qty);
        m.addBindValue(lines[i].price);
        ASSERT_TRUE(m.exec()) << m.lastError().text().toStdString();
    }
}

std::vector<Line> repeat(int n, double qty, double price)
{
    return std::vector<Line>(static_cast<std::size_t>(n), Line{qty, price});
}

class PoFileMakeTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        if (!test::useBackend(GetParam(), scratch))
            GTEST_SKIP() << test::skipReason(GetParam()).toStdString();
        {
            QSqlDatabase db = writable(gPoDbSetting);
            const QVariant n = QVariant(QMetaType::fromType<QString>());
            insertPo(db, QStringLiteral("G0"), QStringLiteral("0"), {});
            insertPo(db, QStringLiteral("G1"), QStringLiteral("0"), {{3, 33.3333}});
            insertPo(db, QStringLiteral("G20"), QStringLiteral("0"), repeat(20, 1, 10));
            insertPo(db, QStringLiteral("G21"), QStringLiteral("0"), repeat(21, 1, 10));
            insertPo(db, QStringLiteral("G45"), QStringLiteral("0"), repeat(45, 2, 1500.5));
            insertPo(db, QStringLiteral("AMT"), QStringLiteral("0"),
                     {{0.2151, 464.9}, {2, 1500.5}, {0.5, 3}, {1.5, 1}, {1.5, 1}, {n, 5}, {-5, 7}, {0.5, 0}, {0.5, 0}},
                     3, n);
            insertPo(db, QStringLiteral("K1"), QStringLiteral("1"), repeat(3, 1, 10));
            insertPo(db, QStringLiteral("KN"), n, repeat(1, 1, 10));
            insertPo(db, QStringLiteral("O'BRIEN-1"), QStringLiteral("0"), repeat(1, 1, 10));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("po-file-writer"));
        ASSERT_EQ(dbOpen(), 0);
        options.templatePath = kTemplate;
        options.saveFolder = out.path();
    }
    void TearDown() override { dbClose(); }
    static QSqlDatabase writable(const DbSetting& s)
    {
        QSqlDatabase db;
        if (s.Provider == QLatin1String("SQLite")) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("po-file-writer"));
            db.setDatabaseName(s.ServerName);
        } else if (s.Provider == QLatin1String("SQLOLEDB")) {
            // The test login may only read: the server's administrator writes.
            const QJsonObject server = test::tdsServer().value_or(QJsonObject());
            DbSetting admin = s;
            admin.UserName = server[QStringLiteral("adminUser")].toString();
            admin.Password = server[QStringLiteral("adminPassword")].toString();
            const ConnectionPlan plan = planConnection(admin, QString(), DriverInventory::ofThisMachine());
            db = QSqlDatabase::addDatabase(makeOdbcDriver().release(), QStringLiteral("po-file-writer"));
            db.setDatabaseName(plan.databaseName);
        } else if (s.Provider == QLatin1String("PostgreSQL")) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("po-file-writer"));
            db.setHostName(s.ServerName.section(QLatin1Char(':'), 0, 0));
            db.setPort(s.ServerName.section(QLatin1Char(':'), 1).toInt());
            db.setDatabaseName(s.DbName);
            db.setUserName(s.UserName);
            db.setPassword(s.Password);
        }
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
        return db;
    }
    // Every sheet of the written workbook as xlrd reads it: name -> address -> value.
    QJsonObject book(const QString& poNo)
    {
        const QString path = QDir(out.path()).filePath(poNo + QStringLiteral(".xls"));
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(TOLVAR_SOURCE_DIR "/tests/xls/xlrd_dump.py"), path});
        p.waitForFinished(60000);
        const QJsonObject file = QJsonDocument::fromJson(p.readAllStandardOutput()).object().value(path).toObject();
        EXPECT_FALSE(file.contains(QStringLiteral("error")))
            << file.value(QStringLiteral("error")).toString().toStdString();
        QJsonObject sheets;
        QStringList order;
        for (const QJsonValue& s : file.value(QStringLiteral("sheets")).toArray()) {
            QJsonObject cells;
            const QJsonObject raw = s.toArray().at(1).toObject();
            for (auto it = raw.begin(); it != raw.end(); ++it)
                cells.insert(it.key(), it.value().toArray().at(1));
            sheets.insert(s.toArray().at(0).toString(), cells);
            order << s.toArray().at(0).toString();
        }
        sheets.insert(QStringLiteral("#order"), order.join(QLatin1Char('|')));
        return sheets;
    }
    static QString cell(const QJsonObject& b, const char* sheet, const char* address)
    {
        const QJsonValue v = b.value(QString::fromUtf8(sheet)).toObject().value(QString::fromLatin1(address));
        return v.isDouble() ? QString::number(v.toDouble(), 'g', 15) : v.toString();
    }

    QTemporaryDir scratch;
    QTemporaryDir out;
    PoFileOptions options;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

}  // namespace

TEST_P(PoFileMakeTest, pages_and_sheet_names_follow_the_line_count)
{
    const std::pair<const char*, const char*> rows[] = {
        {"G0", "海外納品情報|Purchase Order"},
        {"G1", "納品情報1|PO1"},
        {"G20", "納品情報1|PO1"},
        {"G21", "納品情報1|PO1|納品情報2|PO2"},
        {"G45", "納品情報1|PO1|納品情報2|PO2|納品情報3|PO3"},
    };
    for (const auto& [no, sheets] : rows) {
        ASSERT_EQ(po_file_make(QString::fromLatin1(no), options), PoFileResult::Written) << no;
        EXPECT_EQ(book(QString::fromLatin1(no)).value(QStringLiteral("#order")).toString(), QString::fromUtf8(sheets))
            << no;
    }
    const QJsonObject g21 = book(QStringLiteral("G21"));
    EXPECT_EQ(cell(g21, "納品情報2", "B34"), QStringLiteral("ITM-021"));
    EXPECT_EQ(cell(g21, "PO2", "D17"), QStringLiteral("ITM-021"));
    EXPECT_EQ(cell(g21, "納品情報2", "B36"), QString());
    EXPECT_EQ(cell(g21, "納品情報1", "B72"), QStringLiteral("ITM-020"));
    const QJsonObject g0 = book(QStringLiteral("G0"));
    EXPECT_EQ(cell(g0, "海外納品情報", "AU1"), QString());  // the template, unchanged
}

TEST_P(PoFileMakeTest, header_cells_and_page_marks)
{
    ASSERT_EQ(po_file_make(QStringLiteral("G45"), options), PoFileResult::Written);
    const QJsonObject b = book(QStringLiteral("G45"));
    EXPECT_EQ(cell(b, "納品情報2", "BC2"), QStringLiteral("2/3"));
    EXPECT_EQ(cell(b, "PO1", "AY7"), QStringLiteral("G45-1"));
    EXPECT_EQ(cell(b, "PO2", "AY7"), QStringLiteral("G45-2"));
    EXPECT_EQ(cell(b, "納品情報1", "AU1"), QStringLiteral("G45"));
    EXPECT_EQ(cell(b, "納品情報1", "I3"), QStringLiteral("12345"));  // as text, though it looks like a number
    EXPECT_EQ(cell(b, "PO1", "H7"), QStringLiteral("12345"));        // as is: a number
    EXPECT_EQ(cell(b, "納品情報1", "BC3"), QStringLiteral("2024/01/15"));
    EXPECT_EQ(cell(b, "PO1", "AU11"), QStringLiteral("2024/01/15"));
    EXPECT_EQ(cell(b, "納品情報1", "H5"), QStringLiteral("A01 北星商事"));
    EXPECT_EQ(cell(b, "納品情報1", "K20"), QStringLiteral("無し"));
    EXPECT_EQ(cell(b, "納品情報1", "AF17"), QStringLiteral("込み"));
    EXPECT_EQ(cell(b, "納品情報1", "AF18"), QStringLiteral("可能"));
    EXPECT_EQ(cell(b, "PO1", "J60"), QStringLiteral("ABCD"));
    EXPECT_EQ(cell(b, "PO1", "S62"), QStringLiteral("BL01 北星商事 "));
    EXPECT_EQ(cell(b, "PO1", "AT57"), QStringLiteral("JPY"));
    // The requested date is a date cell in the template's date format: its serial.
    EXPECT_EQ(cell(b, "納品情報1", "K17"), QStringLiteral("45350"));
    EXPECT_EQ(cell(b, "PO1", "S64"), QStringLiteral("45350"));

    ASSERT_EQ(po_file_make(QStringLiteral("G20"), options), PoFileResult::Written);
    const QJsonObject g20 = book(QStringLiteral("G20"));
    EXPECT_EQ(cell(g20, "納品情報1", "BC2"), QStringLiteral("1/1"));
    EXPECT_EQ(cell(g20, "PO1", "AY7"), QStringLiteral("G20"));
}

TEST_P(PoFileMakeTest, amounts_totals_and_number_readings)
{
    ASSERT_EQ(po_file_make(QStringLiteral("AMT"), options), PoFileResult::Written);
    const QJsonObject b = book(QStringLiteral("AMT"));
    // 0.2151 × 464.9 = 99.99999: four places first (100.0000), then cut.
    EXPECT_EQ(cell(b, "PO1", "BC17"), QStringLiteral("100"));
    EXPECT_EQ(cell(b, "PO1", "BC19"), QStringLiteral("3001"));
    EXPECT_EQ(cell(b, "PO1", "BC21"), QStringLiteral("1"));
    EXPECT_EQ(cell(b, "PO1", "BC27"), QStringLiteral("0"));  // NULL quantity
    EXPECT_EQ(cell(b, "PO1", "AK27"), QString());
    EXPECT_EQ(cell(b, "納品情報1", "AR46"), QStringLiteral("-5"));  // its own text
    EXPECT_EQ(cell(b, "PO1", "BC29"), QStringLiteral("0"));         // but it reads as 0
    // Quantity total rounded at every line: 0.2151→0, +2→2, +0.5→2 (2.5 to even), +1.5→4 (3.5), +1.5→6 (5.5 to even),
    // NULL→6, -5 reads 0→6, +0.5→6 (6.5 to even), +0.5→6.
    EXPECT_EQ(cell(b, "PO1", "AK57"), QStringLiteral("6"));
    EXPECT_EQ(cell(b, "PO1", "BC57"), QStringLiteral("3104"));  // 100 + 3001 + 1 + 1 + 1
    EXPECT_EQ(cell(b, "納品情報1", "AF17"), QStringLiteral("3"));
    EXPECT_EQ(cell(b, "納品情報1", "H5"), QStringLiteral("A01 "));

    ASSERT_EQ(po_file_make(QStringLiteral("G1"), options), PoFileResult::Written);
    const QJsonObject g1 = book(QStringLiteral("G1"));
    EXPECT_EQ(cell(g1, "PO1", "BC17"), QStringLiteral("99"));  // 3 × 33.3333 = 99.9999 is cut
    EXPECT_EQ(cell(g1, "納品情報1", "AY34"), QStringLiteral("33.3333"));
    EXPECT_EQ(cell(g1, "PO1", "AK57"), QStringLiteral("3"));

    ASSERT_EQ(po_file_make(QStringLiteral("G45"), options), PoFileResult::Written);
    const QJsonObject g45 = book(QStringLiteral("G45"));
    EXPECT_EQ(cell(g45, "PO1", "BC57"), QStringLiteral("60020"));
    EXPECT_EQ(cell(g45, "PO2", "BC57"), QStringLiteral("120040"));
    EXPECT_EQ(cell(g45, "PO3", "BC57"), QStringLiteral("135045"));
    EXPECT_EQ(cell(g45, "PO3", "AK57"), QStringLiteral("90"));
}

TEST_P(PoFileMakeTest, order_kinds_other_than_0_leave_the_order_sheets_alone)
{
    for (const char* no : {"K1", "KN"}) {
        ASSERT_EQ(po_file_make(QString::fromLatin1(no), options), PoFileResult::Written);
        const QJsonObject b = book(QString::fromLatin1(no));
        EXPECT_EQ(cell(b, "納品情報1", "B34"), QStringLiteral("ITM-001")) << no;
        EXPECT_EQ(cell(b, "PO1", "D17"), QString()) << no;
        EXPECT_EQ(cell(b, "PO1", "AY7"), QString()) << no;
        EXPECT_EQ(cell(b, "PO1", "AK57"), QString()) << no;
    }
}

TEST_P(PoFileMakeTest, not_found_and_an_apostrophe_in_the_number)
{
    EXPECT_EQ(po_file_make(QStringLiteral("NO-SUCH"), options), PoFileResult::NotFound);
    EXPECT_FALSE(QFile::exists(QDir(out.path()).filePath(QStringLiteral("NO-SUCH.xls"))));
    EXPECT_EQ(po_file_make(QStringLiteral("O'BRIEN-1"), options), PoFileResult::Written);
    EXPECT_EQ(cell(book(QStringLiteral("O'BRIEN-1")), "PO1", "AY7"), QStringLiteral("O'BRIEN-1"));
}

TEST_P(PoFileMakeTest, failures_leave_the_older_file_as_it_was)
{
    const QString target = QDir(out.path()).filePath(QStringLiteral("G1.xls"));
    const QByteArray older = "an older workbook";
    auto expectFailure = [&](const PoFileOptions& o, const char* what) {
        test::writeFile(target, older);
        EXPECT_THROW(po_file_make(QStringLiteral("G1"), o), Failure) << what;
        EXPECT_EQ(test::readFile(target), older) << what;
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << what;
    };
    PoFileOptions missing = options;
    missing.templatePath = scratch.filePath(QStringLiteral("none.xls"));
    expectFailure(missing, "template missing");
    PoFileOptions wrong = options;
    wrong.templatePath = QStringLiteral(TOLVAR_XLS_DATA_DIR "/poi-DrawingAndComments.xls");
    expectFailure(wrong, "template with other sheets");
    PoFileOptions damaged = options;
    damaged.templatePath = scratch.filePath(QStringLiteral("damaged.xls"));
    test::writeFile(damaged.templatePath, test::readFile(kTemplate).left(3000));
    expectFailure(damaged, "damaged template");

    // Open in a spreadsheet program: its lock file stands beside it.
    const QString lock = QDir(out.path()).filePath(QStringLiteral(".~lock.G1.xls#"));
    test::writeFile(target, older);
    test::writeFile(lock, "user");
    try {
        po_file_make(QStringLiteral("G1"), options);
        ADD_FAILURE() << "a locked file was replaced";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), toNumber(FailureCode::FileOpenInOtherProgram));
    }
    EXPECT_EQ(test::readFile(target), older);
    QFile::remove(lock);

    // A disk that fills up while the workbook is written.
    test::writeFile(target, older);
    bool failed = false;
    try {
        const test::FileSizeLimit full(8192);
        po_file_make(QStringLiteral("G1"), options);
    } catch (const Failure&) {
        failed = true;
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(test::readFile(target), older);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    PoFileOptions noFolder = options;
    noFolder.saveFolder = scratch.filePath(QStringLiteral("gone"));
    EXPECT_THROW(po_file_make(QStringLiteral("G1"), noFolder), Failure);
}

TEST_P(PoFileMakeTest, a_template_read_ahead_gives_the_same_workbook_and_the_same_failures)
{
    // Without a read-ahead first, for the bytes and failures to compare with.
    const QString target = QDir(out.path()).filePath(QStringLiteral("G45.xls"));
    ASSERT_EQ(po_file_make(QStringLiteral("G45"), options), PoFileResult::Written);
    const QByteArray plain = test::readFile(target);
    PoFileOptions damaged = options;
    damaged.templatePath = scratch.filePath(QStringLiteral("damaged.xls"));
    test::writeFile(damaged.templatePath, test::readFile(kTemplate).left(3000));
    auto failureOf = [&](const PoFileOptions& o) {
        try {
            po_file_make(QStringLiteral("G1"), o);
        } catch (const Failure& f) {
            return std::make_pair(f.number(), f.description());
        }
        return std::make_pair(0, QString());
    };
    const auto damagedFailure = failureOf(damaged);
    ASSERT_NE(damagedFailure.first, 0);

    for (const bool keep : {true, false}) {
        PoFileOptions o = options;
        o.keepTemplate = keep;
        PoWorkbook::readAhead(poTemplatePath(o));
        ASSERT_EQ(po_file_make(QStringLiteral("G45"), o), PoFileResult::Written);
        EXPECT_EQ(test::readFile(target), plain) << "keep " << keep;
    }
    // A template that cannot be read fails where it always did, with the same failure.
    PoFileOptions missing = options;
    missing.templatePath = scratch.filePath(QStringLiteral("none.xls"));
    PoWorkbook::readAhead(missing.templatePath);
    EXPECT_EQ(failureOf(missing).first, toNumber(FailureCode::FileMissing));
    PoWorkbook::readAhead(damaged.templatePath);
    EXPECT_EQ(failureOf(damaged), damagedFailure);
    // Read ahead but not asked for: the template asked for is the one used.
    PoWorkbook::readAhead(kTemplate);
    EXPECT_EQ(failureOf(damaged), damagedFailure);
    // Changed after it was read: read again, ahead or not.
    PoFileOptions moving = options;
    moving.templatePath = scratch.filePath(QStringLiteral("moving.xls"));
    test::writeFile(moving.templatePath, test::readFile(kTemplate));
    PoWorkbook::readAhead(moving.templatePath);
    EXPECT_EQ(po_file_make(QStringLiteral("G1"), moving), PoFileResult::Written);
    test::writeFile(moving.templatePath, test::readFile(kTemplate).left(3000));
    PoWorkbook::readAhead(moving.templatePath);
    EXPECT_EQ(failureOf(moving).first, damagedFailure.first);
}

TEST_P(PoFileMakeTest, a_folder_without_separator_still_gets_the_file_inside)
{
    PoFileOptions o = options;
    o.saveFolder = out.path();  // no trailing separator
    ASSERT_EQ(po_file_make(QStringLiteral("G1"), o), PoFileResult::Written);
    EXPECT_TRUE(QFile::exists(QDir(out.path()).filePath(QStringLiteral("G1.xls"))));
    EXPECT_EQ(poFilePath(QStringLiteral("/srv/po"), QStringLiteral("123"), QString()),
              QStringLiteral("/srv/po/123.xls"));
    EXPECT_EQ(poFilePath(QStringLiteral("/srv/po/"), QStringLiteral("123"), QString()),
              QStringLiteral("/srv/po/123.xls"));
}

INSTANTIATE_TEST_SUITE_P(backends, PoFileMakeTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL, Backend::SqlServer),
                         [](const auto& info) { return std::string(test::backendName(info.param)); });

TEST(po_file_make_schema, a_column_missing_from_the_lines_table_fails_and_keeps_the_older_file)
{
    QTemporaryDir dir;
    const QString path = test::makeTestSqlite(dir.path(), QStringLiteral("po.db"));
    test::execOnSqlite(path, QStringLiteral("ALTER TABLE TBL_PO_M DROP COLUMN 上代"));
    RecordingMessageSink recorder;
    ScopedMessageSink scoped(recorder);
    gPoDbSetting = DbSetting{QStringLiteral("SQLite"), path, {}, {}, {}, 5, false, {}};
    ASSERT_EQ(dbOpen(), 0);
    const QString target = dir.filePath(QStringLiteral("P0001.xls"));
    test::writeFile(target, "older");
    PoFileOptions options{kTemplate, dir.path(), true, {}};
    try {
        po_file_make(QStringLiteral("P0001"), options);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), toNumber(FailureCode::ItemNotFound));
        EXPECT_TRUE(f.description().contains(QStringLiteral("上代")));
    }
    dbClose();
    EXPECT_EQ(test::readFile(target), QByteArray("older"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("P0002.xls"))));
}

TEST(po_file_make_schema, a_po_number_that_is_no_file_name_is_refused_and_nothing_is_written)
{
    QTemporaryDir dir;
    const QString path = test::makeTestSqlite(dir.path(), QStringLiteral("po.db"));
    for (const char* number : {"../P0001", "A/B", ".."}) {
        const QString n = QString::fromLatin1(number);
        test::execOnSqlite(path, QStringLiteral("INSERT INTO TBL_PO_H (PO番号, 発注区分) VALUES ('%1', '0')").arg(n));
        test::execOnSqlite(path,
                           QStringLiteral("INSERT INTO TBL_PO_M (PO番号, PO行, 数量) VALUES ('%1', 1, 1)").arg(n));
    }
    RecordingMessageSink recorder;
    ScopedMessageSink scoped(recorder);
    gPoDbSetting = DbSetting{QStringLiteral("SQLite"), path, {}, {}, {}, 5, false, {}};
    ASSERT_EQ(dbOpen(), 0);
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    const PoFileOptions options{kTemplate, dir.filePath(QStringLiteral("out")), true, {}};
    for (const char* number : {"../P0001", "A/B", ".."}) {
        try {
            po_file_make(QString::fromLatin1(number), options);
            ADD_FAILURE() << number << " was written";
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), toNumber(FailureCode::PoNumberNotFileName)) << number;
            EXPECT_TRUE(f.description().contains(QString::fromLatin1(number))) << f.description().toStdString();
        }
    }
    dbClose();
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("out"))).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("P0001.xls"))));
}
