// dbfRound's modes, digits and failures.
#include "util/dbfRound.h"
#include "util/Messages.h"

#include <gtest/gtest.h>

using namespace tolvar;

namespace {

struct Row {
    double value;
    qint16 digits;
    qint16 mode;
    double expected;
};

}  // namespace

TEST(dbf_round, rounds_half_up_up_and_down)
{
    const Row rows[] = {
        {123.456, 2, 0, 123.46},
        {123.454, 2, 0, 123.45},
        {-123.456, 2, 0, -123.46},
        {1234.5, 0, 0, 1235},
        {1234.5, 0, 2, 1234},
        {1234.5, 0, 1, 1235},
        {-1234.5, 0, 2, -1234},
        {1.0001, 2, 1, 1.01},
        {1.01, 0, 1, 2},
        {1.005, 0, 1, 1},
        {1234, -2, 0, 1200},
        {1250, -2, 0, 1300},
        {0, 0, 0, 0},
        {0, 0, 1, 0},
        {0, 0, 2, 0},
        {99.9999, 0, 2, 99},
        {100, 0, 2, 100},
        {1234.5, 0, 7, 1235},
        {987654, -4, 0, 990000},
        {5, 14, 0, 5},
    };
    RecordingMessageSink recorder;
    ScopedMessageSink scoped(recorder);
    for (const Row& r : rows) {
        const Currency value = Currency::fromDouble(r.value);
        EXPECT_DOUBLE_EQ(dbfRound(value, r.digits, r.mode), r.expected)
            << r.value << " digits " << r.digits << " mode " << r.mode;
    }
    EXPECT_TRUE(recorder.messages.empty());
}

TEST(dbf_round, overflow_and_zero_scale_show_the_message_and_give_zero)
{
    const std::pair<double, qint16> rows[] = {{1, 15}, {1, 20}, {1, -5}, {1, -30}, {922337203685.0, 8}};
    for (const auto& [value, digits] : rows) {
        RecordingMessageSink recorder;
        ScopedMessageSink scoped(recorder);
        const qint16 mode = 0;
        EXPECT_EQ(dbfRound(Currency::fromDouble(value), digits, mode), 0.0) << digits;
        ASSERT_EQ(recorder.messages.size(), 1u) << digits;
        EXPECT_EQ(recorder.messages[0],
                  (Message{QStringLiteral("エラー発生"), QStringLiteral("dbfRound"), MsgIcon::Critical}));
    }
}
