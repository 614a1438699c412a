// Every failure code has its own text, and a failure's message has the office's form.
#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <gtest/gtest.h>
#include <QSet>

using namespace tolvar;

TEST(failure_codes, every_code_has_its_own_text_and_number)
{
    QSet<QString> texts;
    QSet<qint32> numbers;
    for (FailureCode code : allFailureCodes()) {
        const QString text = failureText(code);
        EXPECT_FALSE(text.isEmpty()) << toNumber(code);
        EXPECT_FALSE(texts.contains(text)) << text.toStdString();
        EXPECT_FALSE(numbers.contains(toNumber(code)));
        EXPECT_NE(toNumber(code), 0);
        texts.insert(text);
        numbers.insert(toNumber(code));
    }
}

TEST(failure_codes, message_text_is_description_then_number_in_parentheses)
{
    EXPECT_EQ(Failure(13, QStringLiteral("型が一致しません。")).messageText(),
              QStringLiteral("型が一致しません。(13)"));
    EXPECT_EQ(Failure(-2147467259, QStringLiteral("x")).messageText(), QStringLiteral("x(-2147467259)"));
}
