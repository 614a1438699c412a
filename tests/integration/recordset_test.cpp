// Recordset on real databases: static and forward-only cursors, nulls, names in either case,
// bound values and numbered failures.
#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "integration/DbBackends.h"
#include "settings/LoadSettings.h"
#include "support/TestSupport.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"

#include <gtest/gtest.h>

using namespace tolvar;
using test::Backend;

namespace {

class RecordsetTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        if (!test::useBackend(GetParam(), scratch))
            GTEST_SKIP() << test::skipReason(GetParam()).toStdString();
        ASSERT_EQ(dbOpen(), 0) << (recorder.messages.empty() ? "" : recorder.messages[0].text.toStdString());
    }
    void TearDown() override
    {
        rs.Close();
        dbClose();
    }

    QTemporaryDir scratch;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
    Recordset rs;
};

const QString kLines = QStringLiteral("Select * From TBL_PO_M Where PO番号 = ? Order By PO行 ");

}  // namespace

TEST_P(RecordsetTest, static_cursor_counts_rows_before_the_first_is_read)
{
    rs.Open(kLines, {QStringLiteral("P0001")}, *gCnPo, adOpenStatic);
    EXPECT_EQ(rs.RecordCount(), 2);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields(QStringLiteral("商品CD")).toString(), QStringLiteral("ITM-001"));
    EXPECT_DOUBLE_EQ(rs.Fields(QStringLiteral("下代")).toDouble(), 33.3333);
    rs.MoveNext();
    ASSERT_FALSE(rs.Eof());
    EXPECT_TRUE(rs.Fields(QStringLiteral("数量")).isNull());
    EXPECT_TRUE(rs.Fields(QStringLiteral("品名2")).isNull());
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.MoveNext(), Failure);
}

TEST_P(RecordsetTest, forward_only_cursor_streams_rows_by_ordinal)
{
    rs.Open(QStringLiteral("Select PO番号, 発注区分 From TBL_PO_H Where 発注元担当者CD Like ? Order By PO番号 Desc"),
            {QStringLiteral("12%")}, *gCnPo, adOpenForwardOnly);
    EXPECT_EQ(rs.RecordCount(), -1);
    QStringList numbers;
    for (; !rs.Eof(); rs.MoveNext())
        numbers << rs.Fields(0).toString();
    EXPECT_EQ(numbers, (QStringList{QStringLiteral("P0003"), QStringLiteral("P0002"), QStringLiteral("P0001"),
                                    QStringLiteral("P'0006")}));
}

TEST_P(RecordsetTest, column_names_match_in_either_case_and_a_missing_one_is_item_not_found)
{
    rs.Open(QStringLiteral("Select * From TBL_PO_H Where PO番号 = ?"), {QStringLiteral("P'0006")}, *gCnPo,
            adOpenStatic);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(QStringLiteral("po番号")).toString(), QStringLiteral("P'0006"));
    EXPECT_EQ(rs.Fields(QStringLiteral("PO番号")).toString(), QStringLiteral("P'0006"));
    EXPECT_EQ(rs.Fields(QStringLiteral("kp番号")).isNull(), true);
    try {
        rs.Fields(QStringLiteral("NO_SUCH_COLUMN"));
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), toNumber(FailureCode::ItemNotFound));
        EXPECT_TRUE(f.description().contains(QStringLiteral("NO_SUCH_COLUMN")));
    }
}

TEST_P(RecordsetTest, empty_result_is_eof_at_once)
{
    rs.Open(kLines, {QStringLiteral("P0003")}, *gCnPo, adOpenStatic);
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.Eof());
}

TEST_P(RecordsetTest, a_rejected_statement_is_a_numbered_failure)
{
    try {
        rs.Open(QStringLiteral("Select * From NO_SUCH_TABLE"), {}, *gCnPo, adOpenForwardOnly);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_NE(f.number(), 0);
        EXPECT_FALSE(f.description().isEmpty());
    }
}

TEST_P(RecordsetTest, opening_on_a_closed_connection_fails)
{
    dbClose();
    EXPECT_THROW(rs.Open(kLines, {QStringLiteral("P0001")}, *gCnPo, adOpenStatic), Failure);
}

INSTANTIATE_TEST_SUITE_P(backends, RecordsetTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL, Backend::ODBC, Backend::SqlServer),
                         [](const auto& info) { return std::string(test::backendName(info.param)); });
