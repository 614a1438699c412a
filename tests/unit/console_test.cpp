// The console device hands whole UTF-8 characters to its writer, however QTextStream cuts them.
#include "platform/ConsoleDevice.h"

#include <gtest/gtest.h>
#include <QTextStream>

using namespace tolvar;

TEST(console_device, a_character_cut_between_writes_waits_for_its_rest)
{
    QStringList pieces;
    ConsoleDevice device([&](QByteArrayView utf8) { pieces << QString::fromUtf8(utf8); });
    const QByteArray text = QStringLiteral("作成しました。A😀").toUtf8();
    // Every cut of the bytes in two: each piece the writer gets is whole text, and together they
    // are the text.
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        pieces.clear();
        device.write(text.left(cut));
        device.write(text.mid(cut));
        EXPECT_EQ(pieces.join(QString()), QString::fromUtf8(text)) << cut;
        for (const QString& p : pieces)
            EXPECT_FALSE(p.contains(QChar::ReplacementCharacter)) << cut;
    }
}

TEST(console_device, takes_what_a_text_stream_writes)
{
    QString seen;
    ConsoleDevice device([&](QByteArrayView utf8) { seen += QString::fromUtf8(utf8); });
    QTextStream out(&device);
    out << "P26-0290: " << QStringLiteral("ファイルが存在しません") << "\n";
    out.flush();
    EXPECT_EQ(seen, QStringLiteral("P26-0290: ファイルが存在しません\n"));
}
