// Many POs at once from the search window: the grid's context menu, the output dialog's batch form,
// the progress window and its ｷｬﾝｾﾙ, the one message at the end; the PDF box and its setting.
#include "gui/WorkflowFixture.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

using namespace tolvar;

namespace {

using test::dialogControls;

// Polls from inside whatever event loop runs (a menu's, a dialog's, the batch's own event
// processing) until `act` says it has acted: a user who waits for a window before using it.
class Watch {
public:
    explicit Watch(std::function<bool()> act) : act_(std::move(act))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            timer_.stop();
            if (!act_())
                timer_.start();
        });
        timer_.start();
    }

private:
    std::function<bool()> act_;
    QTimer timer_;
};

struct MenuEntry {
    QString text;
    bool enabled = false;
};

class BatchTest : public test::WorkflowFixture {
protected:
    void search()
    {
        QTest::mouseClick(ui->Command1, Qt::LeftButton);
        ASSERT_GE(window->resultTable().rowCount(), 5);
    }
    QString poAt(int row) const { return window->resultTable().text(row, 1); }
    void selectRows(std::initializer_list<int> rows)
    {
        ui->TDBGrid1->clearSelection();
        for (int row : rows)
            ui->TDBGrid1->selectionModel()->select(window->resultTable().index(row, 2), QItemSelectionModel::Select);
    }
    // Opens the grid's menu with `open` and reads its one entry; `choose` presses it with the
    // keyboard, otherwise Escape closes the menu.
    std::optional<MenuEntry> gridMenu(const std::function<void()>& open, bool choose = false)
    {
        std::optional<MenuEntry> seen;
        Watch watch([&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return false;
            QAction* entry = menu->actions().value(0);
            seen = MenuEntry{entry->text(), entry->isEnabled()};
            if (choose) {
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                QTest::keyClick(menu, Qt::Key_Escape);
            }
            return true;
        });
        open();
        QApplication::processEvents();
        return seen;
    }
    void rightClick()
    {
        QWidget* viewport = ui->TDBGrid1->viewport();
        const QPoint at = ui->TDBGrid1->visualRect(window->resultTable().index(0, 2)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
    }
    // Chooses the menu's entry and answers the batch dialog with `inDialog`; every text the
    // progress window showed is kept in `progress`.
    void makeSelected(const std::function<void(frmOutSetting&)>& inDialog)
    {
        Watch dialog([&] {
            auto* d = qobject_cast<frmOutSetting*>(QApplication::activeModalWidget());
            if (!d || !d->isVisible())
                return false;
            inDialog(*d);
            if (d->isVisible())
                d->reject();
            return true;
        });
        Watch recorder([this] {
            if (auto* p = window->findChild<QProgressDialog*>(QStringLiteral("BatchProgress")))
                if (const QString text = p->labelText(); progress.isEmpty() || progress.back() != text)
                    progress << text;
            return false;
        });
        gridMenu([this] { QTest::keyClick(ui->TDBGrid1, Qt::Key_Menu); }, true);
    }
    // Clicks ｷｬﾝｾﾙ, or runs `act`, once the progress window shows `label`.
    std::unique_ptr<Watch> whenProgressShows(const QString& label, std::function<void(QProgressDialog&)> act)
    {
        return std::make_unique<Watch>([this, label, act = std::move(act)] {
            auto* p = window->findChild<QProgressDialog*>(QStringLiteral("BatchProgress"));
            if (!p || !p->isVisible() || !p->labelText().startsWith(label))
                return false;
            act(*p);
            return true;
        });
    }
    QStringList made() const
    {
        return QDir(saveFolder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QStringList progress;
};

void clickOk(frmOutSetting& d)
{
    QTest::mouseClick(dialogControls(d).cmdOK, Qt::LeftButton);
}

}  // namespace

TEST_F(BatchTest, the_grid_menu_counts_the_selected_rows_and_opens_the_batch_form)
{
    search();
    ui->TDBGrid1->clearSelection();
    const std::optional<MenuEntry> none = gridMenu([this] { QTest::keyClick(ui->TDBGrid1, Qt::Key_Menu); });
    ASSERT_TRUE(none);
    EXPECT_EQ(none->text, QStringLiteral("選択したPOを作成(0件)"));
    EXPECT_FALSE(none->enabled);

    // Two cells of one row count once.
    selectRows({0, 2});
    ui->TDBGrid1->selectionModel()->select(window->resultTable().index(0, 5), QItemSelectionModel::Select);
    for (const auto& open : std::vector<std::function<void()>>{
             [this] { rightClick(); },
             [this] { QTest::keyClick(ui->TDBGrid1, Qt::Key_F10, Qt::ShiftModifier); },
         }) {
        const std::optional<MenuEntry> two = gridMenu(open);
        ASSERT_TRUE(two);
        EXPECT_EQ(two->text, QStringLiteral("選択したPOを作成(2件)"));
        EXPECT_TRUE(two->enabled);
    }

    makeSelected([](frmOutSetting& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("2件"));
        EXPECT_EQ(dialogControls(d).Label1->text(), QStringLiteral("2件のエクセルファイルを作成します。"));
        EXPECT_EQ(dialogControls(d).cheFileOpen->text(), QStringLiteral("作成後ﾌｫﾙﾀﾞを開く"));
        EXPECT_FALSE(dialogControls(d).cheFileOpen->isChecked());
        EXPECT_EQ(dialogControls(d).chePdf->text(), QStringLiteral("PDFも作成する"));
        EXPECT_FALSE(dialogControls(d).chePdf->isChecked());
        EXPECT_EQ(dialogControls(d).chePdf->parentWidget(), static_cast<QWidget*>(dialogControls(d).Frame1));
        QTest::keyClick(&d, Qt::Key_Escape);
    });
    EXPECT_TRUE(made().isEmpty());

    // The single form afterwards is its own again.
    ui->TDBGrid1->setCurrentIndex(window->resultTable().index(1, 1));
    EXPECT_TRUE(activate([](frmOutSetting& d) {
        EXPECT_EQ(dialogControls(d).Label1->text(), QStringLiteral("エクセルファイルを作成します。"));
        EXPECT_EQ(dialogControls(d).cheFileOpen->text(), QStringLiteral("作成後ﾌｧｲﾙを開く"));
    }));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(BatchTest, a_batch_makes_the_pos_in_the_grids_order_says_so_once_and_opens_the_folder)
{
    search();
    selectRows({3, 0, 1});  // selected out of order
    makeSelected([](frmOutSetting& d) {
        dialogControls(d).cheFileOpen->setChecked(true);
        clickOk(d);
    });
    progress.removeAll(QStringLiteral("0 / 3"));  // before the first PO, when the window was quick enough
    EXPECT_EQ(progress, (QStringList{QStringLiteral("1 / 3\n") + poAt(0), QStringLiteral("2 / 3\n") + poAt(1),
                                     QStringLiteral("3 / 3\n") + poAt(3)}));
    QStringList expected{poAt(0) + QStringLiteral(".xls"), poAt(1) + QStringLiteral(".xls"),
                         poAt(3) + QStringLiteral(".xls")};
    expected.sort();
    EXPECT_EQ(made(), expected);
    EXPECT_EQ(readCell(output(poAt(3)), "PO1", "AY7"), poAt(3));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0],
              (Message{QStringLiteral("3件作成しました。"), QStringLiteral("終了"), MsgIcon::Information}));
    EXPECT_EQ(opened, QStringList{saveFolder});
    EXPECT_FALSE(gCnPo->isOpen());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window->findChild<QProgressDialog*>(QStringLiteral("BatchProgress")), nullptr);
}

TEST_F(BatchTest, cancel_or_escape_part_way_keeps_what_is_made_and_starts_nothing_more)
{
    search();
    const std::function<void(QProgressDialog&)> ways[] = {
        [](QProgressDialog& p) {
            QTest::mouseClick(p.findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        },
        [](QProgressDialog& p) { QTest::keyClick(&p, Qt::Key_Escape); },
    };
    for (const auto& press : ways) {
        QDir(saveFolder).removeRecursively();
        QDir().mkpath(saveFolder);
        recorder.messages.clear();
        selectRows({0, 1, 2, 3});
        const auto cancel = whenProgressShows(QStringLiteral("3 / 4"), press);
        makeSelected(clickOk);
        // The workbooks before the press are whole, the rest were never started: no file of theirs.
        QStringList expected{poAt(0) + QStringLiteral(".xls"), poAt(1) + QStringLiteral(".xls")};
        expected.sort();
        EXPECT_EQ(made(), expected);
        ASSERT_EQ(recorder.messages.size(), 1u);
        EXPECT_EQ(recorder.messages[0], (Message{QStringLiteral("2件作成しました。\n残りの2件はｷｬﾝｾﾙしました。"),
                                                 QStringLiteral("終了"), MsgIcon::Information}));
    }
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(BatchTest, failed_pos_are_listed_with_their_failures_and_the_others_are_made)
{
    search();
    std::vector<int> rows;
    for (int r = 0; r < window->resultTable().rowCount(); ++r)
        if (poAt(r) == QStringLiteral("P0004") || poAt(r) == QStringLiteral("P0002") ||
            poAt(r) == QStringLiteral("P0001"))
            rows.push_back(r);
    ASSERT_EQ(rows.size(), 3u);
    selectRows({rows[0], rows[1], rows[2]});
    // Deleted since the search, and open in another program.
    test::execOnSqlite(folder.file(QStringLiteral("po.db")),
                       QStringLiteral("DELETE FROM TBL_PO_H WHERE PO番号 = 'P0004'"));
    test::writeFile(saveFolder + QStringLiteral(".~lock.P0002.xls#"), "someone,host,,;");
    makeSelected(clickOk);
    EXPECT_TRUE(QFile::exists(output(QStringLiteral("P0001"))));
    EXPECT_FALSE(QFile::exists(output(QStringLiteral("P0002"))));
    EXPECT_FALSE(QFile::exists(output(QStringLiteral("P0004"))));
    ASSERT_EQ(recorder.messages.size(), 1u);
    const Message& m = recorder.messages[0];
    EXPECT_EQ(m.caption, QStringLiteral("エラー"));
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    const QStringList lines = m.text.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 5) << m.text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("1件作成しました。"));
    EXPECT_EQ(lines[2], QStringLiteral("2件作成できませんでした。"));
    EXPECT_TRUE(lines.contains(QStringLiteral("P0004: POが見つかりません。"))) << m.text.toStdString();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.startsWith(QStringLiteral("P0002: ファイルは別のプログラムで開かれています。")) &&
               l.endsWith(QStringLiteral("(-3002)"));
    })) << m.text.toStdString();
}

TEST_F(BatchTest, a_save_folder_that_goes_mid_batch_fails_the_rest_and_keeps_the_made)
{
    search();
    selectRows({0, 1, 2});
    const QString moved = folder.file(QStringLiteral("moved"));
    const auto move = whenProgressShows(QStringLiteral("2 / 3"),
                                        [&](QProgressDialog&) { ASSERT_TRUE(QDir().rename(saveFolder, moved)); });
    makeSelected(clickOk);
    EXPECT_EQ(QDir(moved).entryList(QDir::Files | QDir::Hidden), QStringList{poAt(0) + QStringLiteral(".xls")});
    ASSERT_EQ(recorder.messages.size(), 1u);
    const QString& text = recorder.messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("1件作成しました。\n\n2件作成できませんでした。")))
        << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("(-3004)")), 2) << text.toStdString();
}

// The PDF box starts as the settings say, in both forms; with no LibreOffice to print them the
// workbooks are made and the message names the PDFs that are not.
TEST_F(BatchTest, the_pdf_box_follows_the_setting_and_a_missing_libreoffice_is_reported)
{
    for (const auto& [value, ticked] : std::vector<std::pair<QByteArray, bool>>{
             {"1", true}, {" 1 ", true}, {"0", false}, {"yes", false}, {"", false}}) {
        folder.writeSettings(settings + "PDF_OUTPUT=" + value + "\r\n");
        ASSERT_EQ(LoadSettings(), 0);
        EXPECT_EQ(gPdfOutput, ticked) << value.toStdString();
    }
    folder.writeSettings(settings + "PDF_OUTPUT=1\r\n");
    ASSERT_EQ(LoadSettings(), 0);
    const QByteArray before = test::readFile(folder.settingsPath());

    QTemporaryDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toUtf8());
    search();
    ui->TDBGrid1->setCurrentIndex(window->resultTable().index(0, 1));
    activate([](frmOutSetting& d) {
        EXPECT_TRUE(dialogControls(d).chePdf->isChecked());
        clickOk(d);
    });
    selectRows({1, 2});
    makeSelected([](frmOutSetting& d) {
        EXPECT_TRUE(dialogControls(d).chePdf->isChecked());
        clickOk(d);
    });
    qputenv("PATH", path);

    EXPECT_EQ(made().size(), 3);
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("エラー"));
    EXPECT_TRUE(recorder.messages[0].text.startsWith(
        QStringLiteral("エクセルファイルは作成しましたが、PDFを作成できませんでした。\n") + saveFolder + poAt(0) +
        QStringLiteral(".pdf: LibreOffice (soffice) が見つかりません。 (-3101)")))
        << recorder.messages[0].text.toStdString();
    EXPECT_EQ(recorder.messages[1],
              (Message{QStringLiteral("2件作成しました。\n\n2件のPDFを作成できませんでした。\n") + poAt(1) +
                           QStringLiteral(".pdf: LibreOffice (soffice) が見つかりません。 (-3101)\n") + poAt(2) +
                           QStringLiteral(".pdf: LibreOffice (soffice) が見つかりません。 (-3101)"),
                       QStringLiteral("エラー"), MsgIcon::Critical}));
    // Read, never written.
    EXPECT_EQ(test::readFile(folder.settingsPath()), before);
}
