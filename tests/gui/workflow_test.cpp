// The whole workflow from the search window, as a user goes through it: choose the save folder,
// search, activate a row, confirm the output dialog, get the workbook.
#include "gui/WorkflowFixture.h"
#include "startup/LastResort.h"
#include "widgets/BrowseForFolder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using namespace tolvar;

namespace {

using test::dialogControls;
using test::kSettings;
using WorkflowTest = test::WorkflowFixture;

}  // namespace

TEST_F(WorkflowTest, ok_without_the_box_writes_the_workbook_and_says_so)
{
    searchAndSelect(QStringLiteral("P0001"));
    const bool shown = activate([](frmOutSetting& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("P0001"));
        EXPECT_FALSE(dialogControls(d).cheFileOpen->isChecked());
        QTest::mouseClick(dialogControls(d).cmdOK, Qt::LeftButton);
    });
    EXPECT_TRUE(shown);
    ASSERT_TRUE(QFile::exists(output(QStringLiteral("P0001"))));
    EXPECT_EQ(readCell(output(QStringLiteral("P0001")), "PO1", "AY7"), QStringLiteral("P0001"));
    EXPECT_EQ(readCell(output(QStringLiteral("P0001")), "PO1", "BC17"), QStringLiteral("99.0"));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0],
              (Message{QStringLiteral("作成しました。"), QStringLiteral("終了"), MsgIcon::Information}));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(gCnPo->isOpen());
}

TEST_F(WorkflowTest, ok_with_the_box_opens_the_workbook_and_shows_nothing)
{
    searchAndSelect(QStringLiteral("P0002"));
    activate([](frmOutSetting& d) {
        dialogControls(d).cheFileOpen->setChecked(true);
        QTest::keyClick(&d, Qt::Key_Return);  // OK is the default button
    });
    EXPECT_EQ(opened, QStringList{output(QStringLiteral("P0002"))});
    EXPECT_TRUE(QFile::exists(output(QStringLiteral("P0002"))));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(WorkflowTest, cancel_escape_and_close_write_nothing_and_the_box_starts_unticked)
{
    searchAndSelect(QStringLiteral("P0001"));
    EXPECT_TRUE(activate([](frmOutSetting& d) {
        dialogControls(d).cheFileOpen->setChecked(true);
        QTest::mouseClick(dialogControls(d).cmdCancel, Qt::LeftButton);
    }));
    EXPECT_TRUE(activate([](frmOutSetting& d) {
        EXPECT_FALSE(dialogControls(d).cheFileOpen->isChecked());
        QTest::keyClick(&d, Qt::Key_Escape);
    }));
    EXPECT_TRUE(activate([](frmOutSetting& d) { d.close(); }));
    EXPECT_FALSE(QFile::exists(output(QStringLiteral("P0001"))));
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(WorkflowTest, enter_presses_the_focused_button_and_ok_only_when_no_other_has_the_focus)
{
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // 検索 with the focus: Enter searches.
    ui->Command1->setFocus();
    QTest::keyClick(ui->Command1, Qt::Key_Return);
    EXPECT_GT(window->resultTable().rowCount(), 0);
    ui->TDBGrid1->setCurrentIndex(window->resultTable().index(0, 1));
    const QString poNo = window->resultTable().text(0, 1);
    // ｷｬﾝｾﾙ with the focus: Enter cancels, and nothing is written.
    EXPECT_TRUE(activate([](frmOutSetting& d) {
        dialogControls(d).cmdCancel->setFocus();
        QTest::keyClick(dialogControls(d).cmdCancel, Qt::Key_Return);
        EXPECT_FALSE(d.isVisible());
    }));
    EXPECT_FALSE(QFile::exists(output(poNo)));
    // The check box with the focus: Enter goes to OK, the default.
    EXPECT_TRUE(activate([](frmOutSetting& d) {
        dialogControls(d).cheFileOpen->setFocus();
        QTest::keyClick(dialogControls(d).cheFileOpen, Qt::Key_Return);
    }));
    EXPECT_TRUE(QFile::exists(output(poNo)));
    // "..." with the focus: Enter opens the folder picker.
    int pickers = 0;
    const FolderPickerForTesting counting([&](QWidget*, const QString&) {
        ++pickers;
        return QString();
    });
    ui->Command2->setFocus();
    QTest::keyClick(ui->Command2, Qt::Key_Return);
    EXPECT_EQ(pickers, 1);
}

TEST_F(WorkflowTest, the_dialog_sits_where_its_form_puts_it)
{
    frmOutSetting& d = window->outSetting();
    EXPECT_EQ(d.size(), QSize(397, 250));
    EXPECT_EQ(dialogControls(d).Label1->text(), QStringLiteral("エクセルファイルを作成します。"));
    EXPECT_EQ(dialogControls(d).Label1->geometry(), QRect(24, 16, 345, 17));
    EXPECT_EQ(dialogControls(d).Frame1->geometry(), QRect(24, 40, 345, 113));
    EXPECT_EQ(dialogControls(d).cheFileOpen->parentWidget(), static_cast<QWidget*>(dialogControls(d).Frame1));
    EXPECT_EQ(dialogControls(d).cheFileOpen->geometry(), QRect(32, 24, 217, 17));
    EXPECT_EQ(dialogControls(d).cheFileOpen->text(), QStringLiteral("作成後ﾌｧｲﾙを開く"));
    EXPECT_EQ(dialogControls(d).cmdOK->geometry(), QRect(200, 200, 81, 25));
    EXPECT_EQ(dialogControls(d).cmdCancel->geometry(), QRect(288, 200, 81, 25));
    EXPECT_EQ(dialogControls(d).cmdCancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_TRUE(dialogControls(d).cmdOK->isDefault());
    EXPECT_EQ(dialogControls(d).cmdOK->nextInFocusChain(), dialogControls(d).cmdCancel);
}

TEST_F(WorkflowTest, choosing_a_folder_writes_it_at_once_and_a_cancel_changes_nothing)
{
    QDir(folder.path()).mkdir(QStringLiteral("chosen"));
    const QString chosen = folder.file(QStringLiteral("chosen"));
    QString title;
    {
        const FolderPickerForTesting picker([&](QWidget*, const QString& t) {
            title = t;
            return chosen;
        });
        QTest::mouseClick(ui->Command2, Qt::LeftButton);
    }
    EXPECT_EQ(title, QStringLiteral("保存先の指定"));
    EXPECT_EQ(ui->txtPoDir->text(), chosen + QLatin1Char('/'));
    EXPECT_EQ(gPoSaveFolder, chosen + QLatin1Char('/'));
    QByteArray expected = kSettings;
    expected.replace("@", (chosen + QLatin1Char('/')).toUtf8());
    EXPECT_EQ(test::readFile(folder.settingsPath()), expected);
    gPoSaveFolder.clear();
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(gPoSaveFolder, chosen + QLatin1Char('/'));

    const FolderPickerForTesting cancelled([](QWidget*, const QString&) { return QString(); });
    QTest::mouseClick(ui->Command2, Qt::LeftButton);
    EXPECT_EQ(ui->txtPoDir->text(), chosen + QLatin1Char('/'));
    EXPECT_EQ(test::readFile(folder.settingsPath()), expected);
}

TEST_F(WorkflowTest, the_office_s_settings_stay_as_they_are_and_the_choice_goes_to_the_user_s_own)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the office's read-only settings are those of an installation for the whole PC";
#endif
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QByteArray office = test::readFile(folder.settingsPath());
    QFile::setPermissions(folder.settingsPath(), QFile::ReadOwner | QFile::ReadGroup);
    QDir(folder.path()).mkdir(QStringLiteral("mine"));
    const QString chosen = folder.file(QStringLiteral("mine"));
    {
        const FolderPickerForTesting picker([&](QWidget*, const QString&) { return chosen; });
        QTest::mouseClick(ui->Command2, Qt::LeftButton);
    }
    EXPECT_EQ(gPoSaveFolder, chosen + QLatin1Char('/'));
    EXPECT_EQ(test::readFile(folder.settingsPath()), office);
    // A new file in the office's form (CP932, CRLF), the one key in it; read at the next start.
    EXPECT_EQ(test::readFile(UserSettingsFilePath()),
              "[\x91S\x94\xCA]\r\nPO_SAVE_FOLDER=" + (chosen + QLatin1Char('/')).toUtf8() + "\r\n");
    gPoSaveFolder.clear();
    ASSERT_EQ(LoadSettings(), 0);
    EXPECT_EQ(gPoSaveFolder, chosen + QLatin1Char('/'));
    QFile::setPermissions(folder.settingsPath(), QFile::ReadOwner | QFile::WriteOwner);
    qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(WorkflowTest, a_missing_folder_or_an_empty_grid_opens_no_dialog)
{
    EXPECT_FALSE(activate([](frmOutSetting&) {}));  // before any search
    EXPECT_TRUE(recorder.messages.empty());
    searchAndSelect(QStringLiteral("P0001"));
    QDir(saveFolder).removeRecursively();
    EXPECT_FALSE(activate([](frmOutSetting&) {}));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0],
              (Message{QStringLiteral("PO保存先を確認してください。"), QStringLiteral("エラー"), MsgIcon::Critical}));
    recorder.messages.clear();
    ui->txtPoDir->setText(folder.settingsPath());  // a file, not a folder
    EXPECT_FALSE(activate([](frmOutSetting&) {}));
    EXPECT_EQ(recorder.messages.size(), 1u);
}

TEST_F(WorkflowTest, a_po_deleted_after_the_search_is_reported_and_nothing_is_written)
{
    searchAndSelect(QStringLiteral("P0004"));
    test::execOnSqlite(folder.file(QStringLiteral("po.db")),
                       QStringLiteral("DELETE FROM TBL_PO_H WHERE PO番号 = 'P0004'"));
    activate([](frmOutSetting& d) { QTest::mouseClick(dialogControls(d).cmdOK, Qt::LeftButton); });
    EXPECT_FALSE(QFile::exists(output(QStringLiteral("P0004"))));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0],
              (Message{QStringLiteral("POが見つかりません。"), QStringLiteral("エラー"), MsgIcon::Critical}));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(WorkflowTest, a_failed_db_open_at_ok_leaves_the_dialog_usable)
{
    searchAndSelect(QStringLiteral("P0001"));
    gPoDbSetting.ServerName = QStringLiteral("gone.db");
    bool enabledAfter = false;
    activate([&](frmOutSetting& d) {
        QTest::mouseClick(dialogControls(d).cmdOK, Qt::LeftButton);
        enabledAfter = d.isEnabled() && d.isVisible();
        QTest::mouseClick(dialogControls(d).cmdCancel, Qt::LeftButton);
    });
    EXPECT_TRUE(enabledAfter);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("dbOpen"));
    EXPECT_FALSE(QFile::exists(output(QStringLiteral("P0001"))));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WorkflowTest, a_failure_while_the_workbook_is_made_reaches_the_last_resort_and_keeps_the_older_file)
{
    searchAndSelect(QStringLiteral("P0001"));
    QFile::remove(folder.file(QStringLiteral("MST_PO.xls")));
    test::writeFile(output(QStringLiteral("P0001")), "older");
    struct Ended {};
    const TerminateHookForTesting hook([](int) { throw Ended{}; });
    bool ended = false;
    activate([&](frmOutSetting& d) {
        try {
            QTest::mouseClick(dialogControls(d).cmdOK, Qt::LeftButton);
        } catch (const Ended&) {
            ended = true;
        }
    });
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    EXPECT_TRUE(ended);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_TRUE(recorder.messages[0].text.endsWith(QStringLiteral("(-3001)")))
        << recorder.messages[0].text.toStdString();
    EXPECT_EQ(test::readFile(output(QStringLiteral("P0001"))), QByteArray("older"));
}
