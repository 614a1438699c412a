// clsIniFile against real files: reading rules, byte-preserving writes, encodings, the answer
// buffer's cut and the NUL-separated lists.
#include "settings/IniCodec.h"
#include "settings/clsIniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tolvar;
using tolvar::test::readFile;
using tolvar::test::writeFile;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("t.ini")) const { return QDir(dir.path()).filePath(name); }
    clsIniFile open(const QByteArray& bytes, const QString& section)
    {
        writeFile(path(), bytes);
        clsIniFile ini;
        ini.setFileName(path());
        ini.setSection(section);
        return ini;
    }
    QTemporaryDir dir;
};

QByteArray cp932(const char* utf8)
{
    return *IniCodec::encode(QString::fromUtf8(utf8), IniEncoding::Cp932);
}

}  // namespace

TEST_F(IniFileTest, new_instance_has_empty_file_name_and_section)
{
    clsIniFile ini;
    EXPECT_EQ(ini.FileName(), QString());
    EXPECT_EQ(ini.Section(), QString());
}

TEST_F(IniFileTest, names_match_without_ascii_case_and_values_are_trimmed_and_unquoted)
{
    clsIniFile ini = open("[Po_Db]\n  provider =  SQLite  \nA=\"quoted  \"\nB='single'\nC=\"half\nD='mixed\"\n",
                          QStringLiteral("PO_DB"));
    EXPECT_EQ(ini.GetString(QStringLiteral("PROVIDER"), QString()), QStringLiteral("SQLite"));
    EXPECT_EQ(ini.GetString(QStringLiteral("a"), QString()), QStringLiteral("quoted  "));
    EXPECT_EQ(ini.GetString(QStringLiteral("B"), QString()), QStringLiteral("single"));
    EXPECT_EQ(ini.GetString(QStringLiteral("C"), QString()), QStringLiteral("\"half"));
    EXPECT_EQ(ini.GetString(QStringLiteral("D"), QString()), QStringLiteral("'mixed\""));
}

TEST_F(IniFileTest, first_of_duplicate_keys_and_sections_wins)
{
    clsIniFile ini = open("[S]\nK=first\nK=second\n[s]\nK=third\nOTHER=x\n", QStringLiteral("S"));
    EXPECT_EQ(ini.GetString(QStringLiteral("K"), QString()), QStringLiteral("first"));
    EXPECT_EQ(ini.GetString(QStringLiteral("OTHER"), QStringLiteral("dflt")), QStringLiteral("dflt"));
}

TEST_F(IniFileTest, empty_value_missing_key_and_missing_file_give_the_default)
{
    clsIniFile ini = open("[S]\nEMPTY=\nNOEQUALS\n;K=comment\n", QStringLiteral("S"));
    EXPECT_EQ(ini.GetString(QStringLiteral("EMPTY"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.GetString(QStringLiteral("NOEQUALS"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.GetString(QStringLiteral(";K"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.GetString(QStringLiteral("MISSING"), QStringLiteral("d ")), QStringLiteral("d"));
    ini.setFileName(path(QStringLiteral("missing.ini")));
    EXPECT_EQ(ini.GetString(QStringLiteral("EMPTY"), QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(ini.GetInteger(QStringLiteral("EMPTY"), 7), 7);
}

TEST_F(IniFileTest, get_integer_reads_leading_digits)
{
    clsIniFile ini = open("[S]\nA=15\nB=abc\nC=12abc\nD=-5\nE= 0 \nF=\n", QStringLiteral("S"));
    EXPECT_EQ(ini.GetInteger(QStringLiteral("A"), 0), 15);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("B"), 9), 0);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("C"), 0), 12);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("D"), 0), -5);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("E"), 9), 0);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("F"), 9), 9);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("MISSING"), 0), 0);
    EXPECT_EQ(ini.GetInteger(QStringLiteral("MISSING"), -3), -3);
}

TEST_F(IniFileTest, reads_the_office_cp932_file_with_crlf)
{
    clsIniFile ini;
    ini.setFileName(tolvar::test::fixture(QStringLiteral("ini-cp932-crlf.ini")));
    ini.setSection(QStringLiteral("全般"));
    EXPECT_EQ(ini.GetString(QStringLiteral("PO_SAVE_FOLDER"), QString()), QStringLiteral("C:\\PO\\出力\\"));
    ini.setSection(QStringLiteral("PO_DB"));
    EXPECT_EQ(ini.GetString(QStringLiteral("SERVER_NM"), QString()), QStringLiteral("demo.db"));
    EXPECT_EQ(ini.GetString(QStringLiteral("DBUSER_NM"), QString()), QStringLiteral("sa"));
    EXPECT_EQ(ini.GetString(QStringLiteral("PASSWORD"), QString()), QStringLiteral("p w"));
    EXPECT_EQ(ini.GetInteger(QStringLiteral("CONECT_TIMEOUT"), 0), 45);
}

TEST_F(IniFileTest, double_byte_values_come_back_whole_in_both_encodings)
{
    // ゾ is 0x83 0x5D in CP932: its second byte is ']'.
    const QByteArray bytes = "[" + cp932("ゾ表") + "]\r\nK=" + cp932("ゾ表ソ") + "\r\n";
    clsIniFile ini = open(bytes, QStringLiteral("ゾ表"));
    EXPECT_EQ(ini.GetString(QStringLiteral("K"), QString()), QStringLiteral("ゾ表ソ"));

    clsIniFile utf8 = open("\xEF\xBB\xBF[全般]\nK=出力先\n", QStringLiteral("全般"));
    EXPECT_EQ(utf8.GetString(QStringLiteral("K"), QString()), QStringLiteral("出力先"));
    clsIniFile plain = open("[全般]\nK=出力先\n", QStringLiteral("全般"));
    EXPECT_EQ(plain.GetString(QStringLiteral("K"), QString()), QStringLiteral("出力先"));
}

TEST_F(IniFileTest, set_string_keeps_every_other_byte)
{
    const QByteArray original = readFile(tolvar::test::fixture(QStringLiteral("ini-cp932-crlf.ini")));
    clsIniFile ini = open(original, QStringLiteral("全般"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("po_save_folder"), QStringLiteral("/srv/PO/発注/")));
    QByteArray expected = original;
    expected.replace(cp932("C:\\PO\\出力\\"), cp932("/srv/PO/発注/"));
    EXPECT_EQ(readFile(path()), expected);

    // A value with blanks after '=' keeps them; the rest of the line is the new value.
    ini.setSection(QStringLiteral("PO_DB"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("SERVER_NM"), QStringLiteral("other.db")));
    expected.replace("SERVER_NM = demo.db \r\n", "SERVER_NM = other.db\r\n");
    EXPECT_EQ(readFile(path()), expected);
}

TEST_F(IniFileTest, set_string_adds_keys_and_sections_in_the_file_line_ending)
{
    clsIniFile ini = open("[A]\nX=1\n\n[B]\nY=2", QStringLiteral("A"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("NEW"), QStringLiteral("v")));
    EXPECT_EQ(readFile(path()), QByteArray("[A]\nX=1\nNEW=v\n\n[B]\nY=2"));
    ini.setSection(QStringLiteral("B"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("Z"), QStringLiteral("3")));
    EXPECT_EQ(readFile(path()), QByteArray("[A]\nX=1\nNEW=v\n\n[B]\nY=2\nZ=3\n"));
    ini.setSection(QStringLiteral("C"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("K"), QStringLiteral("c")));
    EXPECT_EQ(readFile(path()), QByteArray("[A]\nX=1\nNEW=v\n\n[B]\nY=2\nZ=3\n\n[C]\nK=c\n"));
}

TEST_F(IniFileTest, set_string_creates_a_missing_file_in_cp932_with_crlf)
{
    clsIniFile ini;
    ini.setFileName(path(QStringLiteral("new.ini")));
    ini.setSection(QStringLiteral("全般"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("PO_SAVE_FOLDER"), QStringLiteral("/tmp/出力/")));
    EXPECT_EQ(readFile(path(QStringLiteral("new.ini"))),
              "[" + cp932("全般") + "]\r\nPO_SAVE_FOLDER=" + cp932("/tmp/出力/") + "\r\n");
}

TEST_F(IniFileTest, a_write_keeps_utf8_and_its_byte_order_mark)
{
    clsIniFile ini = open("\xEF\xBB\xBF[全般]\r\nPO_SAVE_FOLDER=/a/\r\n", QStringLiteral("全般"));
    ASSERT_TRUE(ini.SetString(QStringLiteral("PO_SAVE_FOLDER"), QStringLiteral("/出力/")));
    EXPECT_EQ(readFile(path()), QByteArray("\xEF\xBB\xBF[全般]\r\nPO_SAVE_FOLDER=/出力/\r\n"));
    clsIniFile plain = open("[全般]\nK=出\n", QStringLiteral("全般"));
    ASSERT_TRUE(plain.SetString(QStringLiteral("K"), QStringLiteral("力")));
    EXPECT_EQ(readFile(path()), QByteArray("[全般]\nK=力\n"));
}

TEST_F(IniFileTest, set_string_refuses_what_it_cannot_write_faithfully)
{
    const QByteArray original = "[S]\r\nK=v\r\n";
    clsIniFile ini = open(original, QStringLiteral("S"));
    EXPECT_FALSE(ini.SetString(QStringLiteral("K"), QStringLiteral("two\r\nlines")));
    EXPECT_FALSE(ini.SetString(QStringLiteral("K"), QStringLiteral("한국어")));  // not in CP932
    EXPECT_FALSE(ini.SetString(QStringLiteral("A=B"), QStringLiteral("v")));
    EXPECT_FALSE(ini.SetString(QString(), QStringLiteral("v")));
    EXPECT_EQ(readFile(path()), original);
}

TEST_F(IniFileTest, set_string_to_a_folder_that_cannot_be_written_returns_false)
{
    writeFile(path(QStringLiteral("plain-file")), "x");
    clsIniFile ini;
    ini.setFileName(path(QStringLiteral("plain-file")) + QStringLiteral("/t.ini"));
    ini.setSection(QStringLiteral("S"));
    EXPECT_FALSE(ini.SetString(QStringLiteral("K"), QStringLiteral("v")));
    ini.setFileName(path(QStringLiteral("no-such-folder/t.ini")));
    EXPECT_FALSE(ini.SetString(QStringLiteral("K"), QStringLiteral("v")));
}

TEST_F(IniFileTest, a_failed_write_leaves_the_file_whole)
{
    if (!test::FileSizeLimit::available())
        GTEST_SKIP() << "no limit of a file's size to fill the disk with here";
    const QByteArray original = "[S]\r\nK=" + QByteArray(20000, 'a') + "\r\n";
    clsIniFile ini = open(original, QStringLiteral("S"));
    // A disk that fills up after 4 KiB: the write fails, the old file stays as it was.
    bool written = true;
    {
        const test::FileSizeLimit full(4096);
        written = ini.SetString(QStringLiteral("K"), QString(30000, QLatin1Char('b')));
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(path()), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t.ini")});
}

TEST_F(IniFileTest, delete_key_and_section_remove_exactly_their_lines)
{
    clsIniFile ini = open("; top\r\n[A]\r\nX=1\r\nY=2\r\n[B]\r\nZ=3\r\n[C]\r\nW=4\r\n", QStringLiteral("A"));
    ini.DeleteKeyName(QStringLiteral("x"));
    EXPECT_EQ(readFile(path()), QByteArray("; top\r\n[A]\r\nY=2\r\n[B]\r\nZ=3\r\n[C]\r\nW=4\r\n"));
    QString b = QStringLiteral("b");
    ini.DeleteSection(b);
    EXPECT_EQ(readFile(path()), QByteArray("; top\r\n[A]\r\nY=2\r\n[C]\r\nW=4\r\n"));
    ini.DeleteKeyName(QStringLiteral("missing"));
    EXPECT_EQ(readFile(path()), QByteArray("; top\r\n[A]\r\nY=2\r\n[C]\r\nW=4\r\n"));
}

TEST_F(IniFileTest, delete_section_with_empty_name_uses_and_fills_in_the_current_section)
{
    clsIniFile ini = open("[A]\nX=1\n[B]\nY=2\n", QStringLiteral("B"));
    QString section;
    ini.DeleteSection(section);
    EXPECT_EQ(section, QStringLiteral("B"));
    EXPECT_EQ(readFile(path()), QByteArray("[A]\nX=1\n"));
}

TEST_F(IniFileTest, emnum_section_lists_names_and_leaves_the_array_alone_when_none)
{
    clsIniFile ini = open("[A]\nX=1\n[B]\n", QString());
    QStringList names{QStringLiteral("old0"), QStringLiteral("old1"), QStringLiteral("old2")};
    EXPECT_EQ(ini.EmnumSection(names), 2);
    EXPECT_EQ(names, (QStringList{QStringLiteral("A"), QStringLiteral("B")}));

    ini.setFileName(path(QStringLiteral("missing.ini")));
    QStringList untouched{QStringLiteral("keep"), QStringLiteral("me")};
    EXPECT_EQ(ini.EmnumSection(untouched), 0);
    EXPECT_EQ(untouched, (QStringList{QStringLiteral("keep"), QStringLiteral("me")}));
}

TEST_F(IniFileTest, enum_section_string_lists_the_entries_of_the_current_section)
{
    clsIniFile ini = open("[A]\nX = 1\n; note\n\nFLAG\n[B]\nY=2\n", QStringLiteral("a"));
    QStringList entries;
    EXPECT_EQ(ini.EnumSectionString(entries), 2);
    EXPECT_EQ(entries, (QStringList{QStringLiteral("X=1"), QStringLiteral("FLAG")}));
}

TEST_F(IniFileTest, answers_are_cut_as_the_platform_buffer_cuts_them)
{
    // 32 766 bytes fit besides the NUL; a double-byte character across the limit is dropped whole.
    const QByteArray value = QByteArray(32765, 'a') + cp932("全") + "tail";
    clsIniFile ini = open("[S]\r\nK=" + value + "\r\n", QStringLiteral("S"));
    const QString answer = ini.GetString(QStringLiteral("K"), QString());
    EXPECT_EQ(answer, QString(32765, QLatin1Char('a')));

    const QByteArray exact = QByteArray(32764, 'a') + cp932("全") + "tail";
    ini = open("[S]\r\nK=" + exact + "\r\n", QStringLiteral("S"));
    EXPECT_EQ(ini.GetString(QStringLiteral("K"), QString()), QString(32764, QLatin1Char('a')) + QStringLiteral("全"));
}

TEST_F(IniFileTest, a_long_section_list_is_cut_with_its_double_nul)
{
    QByteArray bytes;
    for (int i = 0; i < 4000; ++i)
        bytes += "[section" + QByteArray::number(i).rightJustified(4, '0') + "]\n";  // 11 bytes + NUL each
    clsIniFile ini = open(bytes, QString());
    QStringList names;
    const qint32 count = ini.EmnumSection(names);
    // 32 765 bytes hold 2 730 whole names (12 bytes each) and 5 bytes of the next.
    EXPECT_EQ(count, 2731);
    EXPECT_EQ(names.back(), QStringLiteral("secti"));
}

TEST_F(IniFileTest, bad_input_never_breaks_the_reader)
{
    QByteArray random(100000, '\0');
    quint32 seed = 12345;
    for (char& c : random) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    const QByteArray cases[] = {
        random,
        "[S]\nK=" + QByteArray(1 << 20, 'x'),          // 1 MiB on one line, no final newline
        QByteArray("[S]\0\nK=a\0b\n", 12),             // NUL bytes
        "[S\nK=open header\n",                         // header without "]"
        "[S]\nK\n",                                    // key without "="
        "[S]\nK=" + QByteArray(40000, 'v') + "\n",     // 40 000 characters
        "[S]\nK=" + cp932("全般") + "\xE5\x85\xA8\n",  // Shift_JIS and UTF-8 mixed
    };
    for (const QByteArray& bytes : cases) {
        clsIniFile ini = open(bytes, QStringLiteral("S"));
        const QString value = ini.GetString(QStringLiteral("K"), QStringLiteral("d"));
        EXPECT_LE(value.size(), clsIniFile::kBufferSize);
        QStringList list;
        ini.EmnumSection(list);
        ini.EnumSectionString(list);
        ini.GetInteger(QStringLiteral("K"), 1);
        EXPECT_TRUE(ini.SetString(QStringLiteral("NEW"), QStringLiteral("v")));
        EXPECT_EQ(ini.GetString(QStringLiteral("NEW"), QString()), QStringLiteral("v"));
    }
    clsIniFile open_header = open("[S\nK=open header\n", QStringLiteral("S"));
    EXPECT_EQ(open_header.GetString(QStringLiteral("K"), QString()), QStringLiteral("open header"));
    clsIniFile nul = open(QByteArray("[S]\nK=a\0b\n", 10), QStringLiteral("S"));
    EXPECT_EQ(nul.GetString(QStringLiteral("K"), QString()), QStringLiteral("a"));
}

// Held contents answer every read from the file as it was when held; a write lets go of them.
TEST_F(IniFileTest, held_contents_answer_from_one_version_of_the_file_until_a_write)
{
    clsIniFile ini = open("[A]\r\nk=1\r\nn=5\r\n", QStringLiteral("A"));
    ini.holdContents();
    writeFile(path(), "[A]\r\nk=2\r\n");
    EXPECT_EQ(ini.GetString(QStringLiteral("k"), QString()), QStringLiteral("1"));
    EXPECT_EQ(ini.GetInteger(QStringLiteral("n"), 0), 5);
    EXPECT_TRUE(ini.SetString(QStringLiteral("m"), QStringLiteral("3")));
    EXPECT_EQ(ini.GetString(QStringLiteral("k"), QString()), QStringLiteral("2"));
    EXPECT_EQ(ini.GetInteger(QStringLiteral("n"), 0), 0);
    EXPECT_EQ(readFile(path()), QByteArray("[A]\r\nk=2\r\nm=3\r\n"));
}
