// LoadSettings over real settings files in a temporary program folder.
#include "settings/LoadSettings.h"
#include "support/TestSupport.h"
#include "util/Messages.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace tolvar;

namespace {

class LoadSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gPoDbSetting = DbSetting();
        gPoSaveFolder.clear();
    }
    test::ProgramFolder folder;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

}  // namespace

TEST_F(LoadSettingsTest, settings_file_path_is_beside_the_executable)
{
    EXPECT_EQ(SettingsFilePath(), QDir(folder.path()).filePath(QStringLiteral("tolvar.ini")));
}

TEST_F(LoadSettingsTest, reads_every_key_of_the_office_file)
{
    folder.writeSettings(test::readFile(test::fixture(QStringLiteral("ini-cp932-crlf.ini"))));
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(gPoDbSetting.Provider, QStringLiteral("SQLite"));
    EXPECT_EQ(gPoDbSetting.ServerName, QStringLiteral("demo.db"));
    EXPECT_EQ(gPoDbSetting.DbName, QString());
    EXPECT_EQ(gPoDbSetting.UserName, QStringLiteral("sa"));
    EXPECT_EQ(gPoDbSetting.Password, QStringLiteral("p w"));
    EXPECT_EQ(gPoDbSetting.ConnectTimeout, 45);
    EXPECT_EQ(gPoSaveFolder, QStringLiteral("C:\\PO\\出力\\"));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(LoadSettingsTest, connect_timeout_falls_back_to_20)
{
    const std::pair<QByteArray, qint32> rows[] = {
        {"CONECT_TIMEOUT=0\n", 20},   {"CONECT_TIMEOUT=\n", 20},   {"", 20},
        {"CONECT_TIMEOUT=abc\n", 20}, {"CONECT_TIMEOUT=45\n", 45},
    };
    for (const auto& [line, expected] : rows) {
        folder.writeSettings("[PO_DB]\nPROVIDER=SQLite\n" + line);
        ASSERT_EQ(LoadSettings(), 0) << line.constData();
        EXPECT_EQ(gPoDbSetting.ConnectTimeout, expected) << line.constData();
    }
}

TEST_F(LoadSettingsTest, a_negative_timeout_takes_the_failure_path)
{
    folder.writeSettings("[PO_DB]\nPROVIDER=SQLite\nCONECT_TIMEOUT=-5\n");
    EXPECT_EQ(LoadSettings(), 1);
    ASSERT_EQ(recorder.messages.size(), 1u);
    const Message& m = recorder.messages[0];
    EXPECT_EQ(m.caption, QStringLiteral("イニファイル"));
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    EXPECT_TRUE(m.text.endsWith(QStringLiteral("(13)"))) << m.text.toStdString();
    EXPECT_TRUE(m.text.contains(QStringLiteral("CONECT_TIMEOUT")));
    // Fields read before the failure keep their new values.
    EXPECT_EQ(gPoDbSetting.Provider, QStringLiteral("SQLite"));
}

TEST_F(LoadSettingsTest, a_file_with_only_the_general_section_loads_empty_connection_settings)
{
    folder.writeSettings("[全般]\nPO_SAVE_FOLDER=\n");
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(gPoDbSetting.Provider, QString());
    EXPECT_EQ(gPoDbSetting.ServerName, QString());
    EXPECT_EQ(gPoDbSetting.ConnectTimeout, 20);
    EXPECT_EQ(gPoSaveFolder, QString());
}

TEST_F(LoadSettingsTest, a_missing_or_unusable_file_shows_its_message_and_keeps_the_globals)
{
    gPoSaveFolder = QStringLiteral("/previous/");
    EXPECT_EQ(LoadSettings(), 1);
    QDir(folder.path()).mkdir(QStringLiteral("tolvar.ini"));  // a directory of that name
    EXPECT_EQ(LoadSettings(), 1);
    ASSERT_EQ(recorder.messages.size(), 2u);
    for (const Message& m : recorder.messages)
        EXPECT_EQ(m, (Message{QStringLiteral("イニファイルが見つかりません。"), QStringLiteral("エラー"),
                              MsgIcon::Critical}));
    EXPECT_EQ(gPoSaveFolder, QStringLiteral("/previous/"));
}

TEST_F(LoadSettingsTest, the_office_s_file_takes_each_user_s_own_save_folder)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("APPDATA", config.path().toUtf8());
    QDir().mkpath(QFileInfo(UserSettingsFilePath()).absolutePath());
    test::writeFile(UserSettingsFilePath(), "[全般]\r\nPO_SAVE_FOLDER=/home/me/po/\r\nPROVIDER=ignored\r\n");
    folder.writeSettings("[PO_DB]\nPROVIDER=SQLite\nENCRYPT=1\nCA_FILE=ca.pem\n[全般]\nPO_SAVE_FOLDER=/srv/po/\n");
    // The user's to write: the one file, as ever; the user's own is not read.
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(gPoSaveFolder, QStringLiteral("/srv/po/"));
    EXPECT_EQ(SaveFolderSettingsPath(SettingsFilePath()), SettingsFilePath());
    EXPECT_TRUE(gPoDbSetting.Encrypt);
    EXPECT_EQ(gPoDbSetting.CaFile, QStringLiteral("ca.pem"));
#ifndef Q_OS_WIN
    // The office's, which the user may read but not replace: the user's own save folder holds.
    QFile::setPermissions(folder.settingsPath(), QFile::ReadOwner | QFile::ReadGroup);
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(gPoSaveFolder, QStringLiteral("/home/me/po/"));
    EXPECT_EQ(gPoDbSetting.Provider, QStringLiteral("SQLite"));
    EXPECT_EQ(SaveFolderSettingsPath(SettingsFilePath()), UserSettingsFilePath());
    // One the user may not even read: the start-up failure, with its number.
    QFile::setPermissions(folder.settingsPath(), QFileDevice::Permissions());
    if (!QFileInfo(folder.settingsPath()).isReadable()) {  // root reads any file
        EXPECT_EQ(LoadSettings(), 1);
        ASSERT_FALSE(recorder.messages.empty());
        EXPECT_EQ(recorder.messages.back().caption, QStringLiteral("イニファイル"));
        EXPECT_TRUE(recorder.messages.back().text.endsWith(QStringLiteral("(-3008)")));
    }
    QFile::setPermissions(folder.settingsPath(), QFile::ReadOwner | QFile::WriteOwner);
#endif
    qunsetenv("XDG_CONFIG_HOME");
}
