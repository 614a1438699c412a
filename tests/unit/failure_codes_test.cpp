// Every failure code has its own text, and a failure's message has the office's form.
#include "util/Failure.h"
#include "util/FailureCodes.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRegularExpression>
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

TEST(failure_codes, the_table_lists_every_code_of_the_enumeration)
{
    // Each "Name = number," of the enumeration has its text in the table.
    QSet<qint32> listed;
    for (FailureCode code : allFailureCodes())
        listed.insert(toNumber(code));
    QFile header(QStringLiteral(TOLVAR_SOURCE_DIR "/src/util/FailureCodes.h"));
    ASSERT_TRUE(header.open(QIODevice::ReadOnly));
    static const QRegularExpression value(QStringLiteral("^\\s+\\w+ = (-?\\d+),"));
    int declared = 0;
    for (const QByteArray& line : header.readAll().split('\n')) {
        const QRegularExpressionMatch m = value.match(QString::fromUtf8(line));
        if (!m.hasMatch())
            continue;
        ++declared;
        EXPECT_TRUE(listed.contains(m.captured(1).toInt())) << line.toStdString();
    }
    EXPECT_EQ(declared, listed.size());
}

TEST(failure_codes, a_failure_of_a_code_has_its_text_then_the_detail)
{
    const Failure f = Failure::of(FailureCode::FileMissing, QStringLiteral("/x/MST_PO.xls"));
    EXPECT_EQ(f.number(), -3001);
    EXPECT_EQ(f.description(), QStringLiteral("ファイルが見つかりません。 /x/MST_PO.xls"));
    EXPECT_EQ(Failure::of(FailureCode::Overflow).description(), QStringLiteral("オーバーフローしました。"));
}

TEST(failure_codes, message_text_is_description_then_number_in_parentheses)
{
    EXPECT_EQ(Failure(13, QStringLiteral("型が一致しません。")).messageText(),
              QStringLiteral("型が一致しません。(13)"));
    EXPECT_EQ(Failure(-2147467259, QStringLiteral("x")).messageText(), QStringLiteral("x(-2147467259)"));
}
