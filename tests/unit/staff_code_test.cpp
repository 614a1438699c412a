// The staff code taken from the command line.
#include "startup/StaffCode.h"

#include <gtest/gtest.h>

using namespace tolvar;

TEST(staff_code, follows_the_double_quote_rule)
{
    const std::pair<QStringList, QString> rows[] = {
        {{QStringLiteral("tolvar")}, QString()},
        {{QStringLiteral("tolvar"), QStringLiteral("A123")}, QStringLiteral("A123")},
        {{QStringLiteral("tolvar"), QStringLiteral("\"A123\"")}, QStringLiteral("A123")},
        {{QStringLiteral("tolvar"), QStringLiteral("\"A123")}, QStringLiteral("A12")},
        {{QStringLiteral("tolvar"), QStringLiteral("\"\"")}, QString()},
        {{QStringLiteral("tolvar"), QStringLiteral("\"")}, QString()},
        {{QStringLiteral("tolvar"), QStringLiteral("12"), QStringLiteral("34")}, QStringLiteral("12 34")},
        {{QStringLiteral("tolvar"), QStringLiteral(" 12 34 ")}, QStringLiteral(" 12 34 ")},
    };
    for (const auto& [arguments, expected] : rows)
        EXPECT_EQ(staffCodeFrom(argumentText(arguments)), expected) << arguments.join(QLatin1Char('|')).toStdString();
}
