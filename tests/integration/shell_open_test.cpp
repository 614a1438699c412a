// ShellOpenFile's result codes and messages with the real opener, and an association of our own
// so that a start can be seen.
#include "support/TestSupport.h"
#include "util/Messages.h"
#include "util/basKansu.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

using namespace tolvar;

namespace {

const QString kNotFound = QStringLiteral("ファイルが存在しません");
const QString kNoApp = QStringLiteral("起動できません。\u3000実行ファイルが無いか拡張子の関連付けがありません。");

class ShellOpenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
            GTEST_SKIP() << "xdg-utils is not installed";
        // A desktop of our own: the system's file types, and only the associations this test makes,
        // whatever applications the machine has installed. The type database is read once per
        // process, so the folder that offers it outlives the tests.
        static const QTemporaryDir systemData;
        QFile::link(QStringLiteral("/usr/share/mime"), QDir(systemData.path()).filePath(QStringLiteral("mime")));
        qputenv("XDG_DATA_DIRS", systemData.path().toUtf8());
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS"})
            qputenv(var, home.filePath(QString::fromLatin1(var)).toUtf8());
        qputenv("XDG_CURRENT_DESKTOP", "X-Generic");
        // xdg-open uses the desktop associations only where there is a display to show them on.
        qputenv("DISPLAY", ":tolvar-test");
    }
    QString file(const QString& name, const QByteArray& bytes = "data")
    {
        const QString path = home.filePath(name);
        test::writeFile(path, bytes);
        return path;
    }

    QTemporaryDir home;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

}  // namespace

TEST_F(ShellOpenTest, missing_file_and_missing_folder_have_their_codes_and_messages)
{
    EXPECT_EQ(ShellOpenFile(home.filePath(QStringLiteral("missing.xls"))), kShellFileNotFound);
    EXPECT_EQ(ShellOpenFile(home.filePath(QStringLiteral("no-folder/missing.xls"))), kShellPathNotFound);
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0], (Message{kNotFound, QStringLiteral("Tolvar"), MsgIcon::None}));
    EXPECT_EQ(recorder.messages[1], (Message{kNoApp, QStringLiteral("Tolvar"), MsgIcon::None}));
}

TEST_F(ShellOpenTest, a_type_without_association_gets_the_second_message)
{
    EXPECT_EQ(ShellOpenFile(file(QStringLiteral("book.tolvar-unknown"), QByteArray(64, '\x01'))), kShellNoAssociation);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, kNoApp);
}

TEST_F(ShellOpenTest, an_associated_file_is_started_and_shows_nothing)
{
    // An application that records the file it was asked to open.
    const QString marker = home.filePath(QStringLiteral("opened.txt"));
    const QString script = file(QStringLiteral("record.sh"), "#!/bin/sh\necho \"$1\" > " + marker.toUtf8() + "\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    QDir().mkpath(home.filePath(QStringLiteral("XDG_DATA_HOME/applications")));
    test::writeFile(home.filePath(QStringLiteral("XDG_DATA_HOME/applications/tolvar-test.desktop")),
                    "[Desktop Entry]\nType=Application\nName=Record\nExec=" + script.toUtf8() +
                        " %f\nMimeType=application/vnd.ms-excel;\n");
    QDir().mkpath(home.filePath(QStringLiteral("XDG_CONFIG_HOME")));
    test::writeFile(home.filePath(QStringLiteral("XDG_CONFIG_HOME/mimeapps.list")),
                    "[Default Applications]\napplication/vnd.ms-excel=tolvar-test.desktop\n");

    // A real workbook: xdg-open looks at the content, and text would go to the text editor.
    const QString book =
        file(QStringLiteral("book.xls"), test::readFile(QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls")));
    ASSERT_GT(QFileInfo(book).size(), 0);
    EXPECT_GT(ShellOpenFile(book), 32);
    EXPECT_TRUE(recorder.messages.empty());
    for (int i = 0; i < 100 && !QFile::exists(marker); ++i)
        QThread::msleep(50);
    EXPECT_EQ(test::readFile(marker).trimmed(), book.toUtf8());
}
