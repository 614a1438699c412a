// The start-up path in-process, with the messages recorded: the failure paths end start-up
// after their messages and show no window; the good path shows the search window.
#include "db/dbOpen.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "startup/Main.h"
#include "startup/SingleInstance.h"
#include "startup/StaffCode.h"
#include "support/TestSupport.h"
#include "util/Globals.h"
#include "util/Messages.h"
#include "util/basKansu.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QUuid>

using namespace tolvar;

namespace {

class StartupTest : public ::testing::Test {
protected:
    // Start-up sets program-wide state; the tests after these must not meet it.
    void SetUp() override { resetGlobals(); }
    void TearDown() override { resetGlobals(); }
    static void resetGlobals()
    {
        gTantoCd.clear();
        gComputerName.clear();
        gPoDbSetting = DbSetting();
        gPoSaveFolder.clear();
    }
    StartupOutcome start(const QStringList& arguments)
    {
        SingleInstance instance(folder.file(QUuid::createUuid().toString()));
        return Main(instance, arguments, window);
    }

    test::ProgramFolder folder;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
    std::unique_ptr<frmMain> window;
};

}  // namespace

TEST_F(StartupTest, without_settings_file_shows_two_messages_in_turn_and_no_window)
{
    EXPECT_EQ(start({QStringLiteral("tolvar"), QStringLiteral("12")}), StartupOutcome::SettingsFailed);
    EXPECT_NE(exitStatusFor(StartupOutcome::SettingsFailed), 0);
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0],
              (Message{QStringLiteral("イニファイルが見つかりません。"), QStringLiteral("エラー"), MsgIcon::Critical}));
    EXPECT_EQ(recorder.messages[1], (Message{QStringLiteral("初期化失敗\r\n強制終了します。"),
                                             QStringLiteral("強制終了"), MsgIcon::Critical}));
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(StartupTest, unreachable_database_shows_db_open_then_the_connection_message)
{
    folder.writeSettings("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=missing.db\r\n");
    EXPECT_EQ(start({QStringLiteral("tolvar")}), StartupOutcome::DatabaseFailed);
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("dbOpen"));
    EXPECT_EQ(recorder.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(recorder.messages[1], (Message{QStringLiteral("データベースに接続できませんでした。\r\n強制終了します。"),
                                             QStringLiteral("エラー"), MsgIcon::Critical}));
    EXPECT_EQ(window, nullptr);
}

TEST_F(StartupTest, good_settings_show_the_search_window_with_the_staff_code_taken)
{
    test::makeTestSqlite(folder.path(), QStringLiteral("po.db"));
    folder.writeSettings("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=po.db\r\n[全般]\r\nPO_SAVE_FOLDER=/tmp/\r\n");
    EXPECT_EQ(start({QStringLiteral("tolvar"), QStringLiteral("\"A123\"")}), StartupOutcome::Running);
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tolvar"));
    EXPECT_EQ(gTantoCd, QStringLiteral("A123"));
    EXPECT_EQ(gPoSaveFolder, QStringLiteral("/tmp/"));
    EXPECT_FALSE(gComputerName.isEmpty());
    EXPECT_FALSE(gCnPo->isOpen());  // the connection was only a test
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(StartupTest, a_missing_machine_name_is_reported_and_start_up_goes_on)
{
    test::makeTestSqlite(folder.path(), QStringLiteral("po.db"));
    folder.writeSettings("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=po.db\r\n");
    const ComputerNameForTesting noName([] { return QString(); });
    EXPECT_EQ(start({QStringLiteral("tolvar")}), StartupOutcome::Running);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], (Message{QStringLiteral("コンピュータ名取得失敗。\r\n管理者に報告してください。"),
                                             QStringLiteral("GetSelfComputerName"), MsgIcon::None}));
    EXPECT_EQ(gComputerName, QString());
    EXPECT_NE(window, nullptr);
}

TEST_F(StartupTest, a_second_copy_ends_silently)
{
    const QString key = folder.file(QStringLiteral("tolvar"));
    SingleInstance first(key);
    ASSERT_TRUE(first.acquire());
    SingleInstance second(key);
    EXPECT_EQ(Main(second, {QStringLiteral("tolvar")}, window), StartupOutcome::AlreadyRunning);
    EXPECT_EQ(exitStatusFor(StartupOutcome::AlreadyRunning), 0);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(window, nullptr);
}
