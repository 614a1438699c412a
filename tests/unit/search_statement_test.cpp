// The search statement for each mix of conditions, compared character for character.
#include "search/PoResultModel.h"
#include "search/SearchStatement.h"
#include "support/TestSupport.h"
#include "util/Utf8Check.h"

#include <gtest/gtest.h>
#include <QAbstractItemModelTester>

using namespace tolvar;

namespace {

const QString kSelect = QStringLiteral(
    "Select 発注区分, PO番号, PO発行日, 得意先CD, 得意先名, 納品先名, 請求先名, 希望納期, 発注元担当者CD, "
    "発注元担当者名 From TBL_PO_H ");

SearchConditions base()
{
    SearchConditions c;
    c.sDate = QDate(2024, 1, 15);
    c.eDate = QDate(2024, 5, 15);
    c.today = QDate(2024, 3, 1);
    return c;
}

}  // namespace

TEST(search_statement, the_two_examples_read_exactly)
{
    SearchConditions c = base();
    c.tantoCd = QStringLiteral("12");
    c.kbnText = QStringLiteral("PO");
    EXPECT_EQ(
        buildSearchStatement(c).rendered(),
        QStringLiteral(
            "Select 発注区分, PO番号, PO発行日, 得意先CD, 得意先名, 納品先名, 請求先名, 希望納期, 発注元担当者CD, "
            "発注元担当者名 From TBL_PO_H Where 発注元担当者CD Like '12%' and PO発行日 Between '2024/01/15' "
            "And '2024/05/15' And 発注区分 = '0'  Order By PO番号 Desc"));

    SearchConditions byNumber = base();
    byNumber.poNo = QStringLiteral("P200");
    byNumber.tantoCd = QStringLiteral("12");
    byNumber.tokCd = QStringLiteral("A01");
    EXPECT_EQ(buildSearchStatement(byNumber).rendered(),
              kSelect + QStringLiteral("Where PO番号='P200'  Order By PO番号 Desc"));
}

TEST(search_statement, condition_mixes)
{
    struct Row {
        const char* name;
        SearchConditions conditions;
        QString where;
    };
    SearchConditions empty = base();
    SearchConditions customer = base();
    customer.tokCd = QStringLiteral("A0");
    customer.kbnText = QStringLiteral("GK");
    SearchConditions todayOnly = base();
    todayOnly.sDate = todayOnly.eDate = todayOnly.today;
    todayOnly.kbnText = QStringLiteral("全て");
    SearchConditions oneToday = base();
    oneToday.sDate = oneToday.today;
    SearchConditions quoted = base();
    quoted.tantoCd = QStringLiteral("' OR '1'='1");
    const Row rows[] = {
        {"all empty", empty,
         QStringLiteral("Where 発注元担当者CD Like '%' and PO発行日 Between '2024/01/15' And '2024/05/15' ")},
        {"customer and GK", customer,
         QStringLiteral("Where 発注元担当者CD Like '%' And 得意先CD Like 'A0%' and PO発行日 Between '2024/01/15' And "
                        "'2024/05/15' And 発注区分 = '1' ")},
        {"both today", todayOnly, QStringLiteral("Where 発注元担当者CD Like '%' ")},
        {"one today", oneToday,
         QStringLiteral("Where 発注元担当者CD Like '%' and PO発行日 Between '2024/03/01' And '2024/05/15' ")},
        {"a quote is a character", quoted,
         QStringLiteral(
             "Where 発注元担当者CD Like '' OR '1'='1%' and PO発行日 Between '2024/01/15' And '2024/05/15' ")},
    };
    for (const Row& row : rows) {
        const SearchStatement s = buildSearchStatement(row.conditions);
        EXPECT_EQ(s.rendered(), kSelect + row.where + QStringLiteral(" Order By PO番号 Desc")) << row.name;
        EXPECT_FALSE(s.text.contains(QLatin1String("OR"))) << row.name;  // values are bound, never spliced
    }
    EXPECT_EQ(buildSearchStatement(quoted).values.front().toString(), QStringLiteral("' OR '1'='1%"));
    // The same values with the dates as dates, for the databases that want them so.
    const SearchStatement typed = buildSearchStatement(customer);
    EXPECT_EQ(typed.valuesFor(true),
              (QVariantList{QStringLiteral("%"), QStringLiteral("A0%"), QDate(2024, 1, 15), QDate(2024, 5, 15)}));
    EXPECT_EQ(typed.valuesFor(false).at(2), QVariant(QStringLiteral("2024/01/15")));
}

TEST(po_result_model, holds_rows_as_display_text)
{
    PoResultModel model;
    const test::QtWarnings warnings;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(model.columnCount(), 10);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("PO番号"));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString());
    EXPECT_EQ(PoResultModel::initialWidthTwips(4), 3254);

    PoResultRows cells;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 10; ++c)
            cells.append(r == 1 && c == 4 ? QVariant(QMetaType::fromType<QString>())
                                          : QVariant(QStringLiteral("%1-%2").arg(r).arg(c)));
    cells.append(QStringLiteral("a partial row is dropped"));
    model.replaceRows(std::move(cells));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.text(2, 9), QStringLiteral("2-9"));
    EXPECT_EQ(model.text(3, 0), QString());
    EXPECT_TRUE(model.text(1, 4).isNull());
    EXPECT_EQ(model.text(1, 5), QStringLiteral("1-5"));
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    model.replaceRows({});
    EXPECT_EQ(model.rowCount(), 0);

    EXPECT_EQ(PoResultModel::cellText(QVariant(QDate(2024, 1, 5))), QStringLiteral("2024/01/05"));
    EXPECT_TRUE(PoResultModel::cellText(QVariant(QMetaType::fromType<QString>())).isNull());
    EXPECT_EQ(PoResultModel::cellText(QVariant(12.5)), QStringLiteral("12.5"));
    EXPECT_EQ(PoResultModel::cellText(QVariant(QStringLiteral("2024/01/05"))), QStringLiteral("2024/01/05"));
    // The model kept the item-model contract through every change.
    EXPECT_EQ(warnings.messages(), QStringList());
}

// UTF-8 decoded into the table as QString::fromUtf8 decodes it: whole characters of every length,
// an empty text that is not NULL, broken and cut sequences as replacement characters, each value
// on its own.
TEST(po_result_model, utf8_cells_read_as_from_utf8_gives_them)
{
    const QByteArray values[] = {"PO26",         "発注書",    "", "\xF0\x9F\x93\xA6 box", "bad \xFF\xFE byte",
                                 "cut \xE6\x97", "\xA5 after"};
    PoResultRows rows;
    for (const QByteArray& v : values)
        rows.appendUtf8(v);
    ASSERT_EQ(rows.cellCount(), 7);
    for (qsizetype i = 0; i < 7; ++i) {
        EXPECT_EQ(rows.cell(i), QString::fromUtf8(values[i])) << i;
        EXPECT_FALSE(rows.cell(i).isNull()) << i;
    }
}

// The quick UTF-8 check agrees with Qt's on every sequence of one to three bytes, on every lead and
// second byte of four, alone and after a run of ASCII read eight bytes at a time.
TEST(po_result_model, utf8_check_agrees_with_qt)
{
    const auto agree = [](const QByteArray& bytes) {
        const QByteArray padded = QByteArray("ASCII run ") + bytes + QByteArray("tail 8 bytes");
        return isUtf8(bytes) == QByteArrayView(bytes).isValidUtf8() &&
               isUtf8(padded) == QByteArrayView(padded).isValidUtf8();
    };
    int disagreements = 0;
    for (int a = 0; a < 256; ++a) {
        disagreements += !agree(QByteArray(1, char(a)));
        for (int b = 0; b < 256; ++b) {
            const char two[] = {char(a), char(b)};
            disagreements += !agree(QByteArray(two, 2));
            if (a < 0xE0)
                continue;
            for (int c = 0; c < 256; c += (a < 0xF0 ? 1 : 0x3F)) {
                const char three[] = {char(a), char(b), char(c)};
                disagreements += !agree(QByteArray(three, 3));
                if (a >= 0xF0) {
                    const char four[] = {char(a), char(b), char(c), char(0x80 + (c & 0x3F))};
                    disagreements += !agree(QByteArray(four, 4));
                }
            }
        }
    }
    EXPECT_EQ(disagreements, 0);
}

// A result larger than one buffer: cells on both sides of each buffer's end, one cell larger than a
// buffer, NULLs and empty texts among them; a cell taken back across a buffer's start; the partial
// last row dropped.
TEST(po_result_model, large_results_keep_every_cell)
{
    PoResultRows rows;
    std::vector<QString> expected;  // a null QString for a NULL
    const auto add = [&](const QString& text, bool isNull) {
        rows.appendText(text, isNull);
        expected.push_back(isNull ? QString() : text);
    };
    for (int i = 0; i < 4000; ++i) {
        if (i % 97 == 0)
            add(QString(), true);
        else if (i % 89 == 0)
            add(QStringLiteral(""), false);
        else
            add(QStringLiteral("発注%1-").arg(i).repeated(1 + i % 60), false);
        if (i == 2500)
            add(QString(700000, QChar(u'得')), false);  // 2.1 MB in UTF-8
    }
    // Taken back and written again, where a new buffer began.
    const QString big(400000, QChar(u'x'));
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(rows.appendUtf8(big.toUtf8()));
        rows.dropLast();
    }
    ASSERT_EQ(rows.cellCount(), static_cast<qsizetype>(expected.size()));
    add(QStringLiteral("the last"), false);
    rows.shrink();
    const std::size_t whole = expected.size() - expected.size() % PoResultModel::kColumns;
    ASSERT_EQ(rows.cellCount(), static_cast<qsizetype>(whole));
    int wrong = 0;
    for (std::size_t i = 0; i < whole; ++i)
        wrong += rows.cell(static_cast<qsizetype>(i)) != expected[i] ||
                 rows.cell(static_cast<qsizetype>(i)).isNull() != expected[i].isNull();
    EXPECT_EQ(wrong, 0);
}
