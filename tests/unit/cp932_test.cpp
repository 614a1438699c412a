// The settings files' code page, as Windows' own table has it: the same bytes and characters
// whichever system converts (ICU on Linux, the code-page functions on Windows).
#include "platform/Cp932.h"

#include <gtest/gtest.h>

using namespace tolvar;

TEST(cp932, bytes_and_characters_as_windows_maps_them)
{
    struct Row {
        QByteArray bytes;
        const char16_t* text;
    };
    const Row rows[] = {
        {"\x91\x53\x94\xCA", u"全般"},
        {"\x5C", u"\\"},  // a backslash stays one: save folders end with it
        {"\x7E", u"~"},
        {"\xB1\xB7\xDE", u"ｱｷﾞ"},  // half-width katakana, one byte each
        {"\x81\x60", u"\uFF5E"},   // the wave dash as Windows reads it: a full-width tilde
        {"\x81\x7C", u"\uFF0D"},   // the minus sign: a full-width hyphen-minus
        {"\x87\x40", u"\u2460"},   // NEC's circled one
        {"\xFB\xFC", u"\u9AD9"},   // IBM's extensions: 髙
        {"PO_SAVE_FOLDER=D:\\\x94\xAD\x92\x8D\\", u"PO_SAVE_FOLDER=D:\\発注\\"},
    };
    for (const Row& row : rows) {
        const QString text = QString::fromUtf16(row.text);
        EXPECT_EQ(decodeCp932(row.bytes), text) << row.bytes.toHex().constData();
        EXPECT_EQ(encodeCp932(text), std::optional<QByteArray>(row.bytes)) << row.bytes.toHex().constData();
    }
    // NEC's selection of IBM's extensions reads as the same characters, which are written back in
    // IBM's form, as Windows writes them.
    EXPECT_EQ(decodeCp932("\xED\x40"), QStringLiteral("\u7E8A"));
    EXPECT_EQ(encodeCp932(QStringLiteral("\u7E8A")), std::optional<QByteArray>("\xFA\x5C"));
    EXPECT_EQ(decodeCp932(QByteArray()), QString());
    EXPECT_EQ(encodeCp932(QString()), std::optional<QByteArray>(QByteArray()));
}

TEST(cp932, characters_without_a_cp932_form_are_refused_not_replaced)
{
    for (const char16_t* text : {u"\u301C", u"\u2212", u"\u00A2", u"😀", u"発注\u00E9", u"\xD800"})
        EXPECT_EQ(encodeCp932(QString::fromUtf16(text)), std::nullopt) << QString::fromUtf16(text).toStdString();
}
