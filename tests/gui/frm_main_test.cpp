// The search window driven as a user would: layout, start state and searches on real databases.
#include "db/dbOpen.h"
#include "integration/DbBackends.h"
#include "search/PoResultModel.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "startup/LastResort.h"
#include "support/FormControls.h"
#include "support/TestSupport.h"
#include "util/Clock.h"
#include "util/Globals.h"
#include "util/Messages.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <optional>

using namespace tolvar;

namespace {

QRect tw(int l, int t, int w, int h)
{
    return QRect(l / 15, t / 15, w / 15, h / 15);
}

// The form's controls in the order Tab visits them.
QStringList tabOrder()
{
    return {QStringLiteral("find_tanto_cd"), QStringLiteral("find_po_kbn"), QStringLiteral("dtpEDate"),
            QStringLiteral("dtpSDate"),      QStringLiteral("find_po_no"),  QStringLiteral("Command1"),
            QStringLiteral("TDBGrid1"),      QStringLiteral("find_tok_cd"), QStringLiteral("txtPoDir"),
            QStringLiteral("Command2")};
}

class FrmMainTest : public ::testing::Test {
protected:
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
};

}  // namespace

TEST_F(FrmMainTest, every_control_sits_where_the_form_puts_it)
{
    frmMain w;
    const test::MainControls c(w);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tolvar"));
    EXPECT_EQ(w.size(), QSize(807, 534));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(w.windowIcon().availableSizes().isEmpty());
    EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(32, 32)));

    struct Row {
        const char* name;
        QRect geometry;
        bool inFrame;
    };
    const Row rows[] = {
        {"Frame1", tw(120, 120, 7935, 1095), false},    {"find_tanto_cd", tw(1080, 240, 615, 270), true},
        {"find_po_kbn", tw(2325, 225, 855, 300), true}, {"find_po_no", tw(3765, 240, 1215, 270), true},
        {"find_tok_cd", tw(5880, 240, 735, 270), true}, {"dtpSDate", tw(750, 690, 1335, 285), true},
        {"Label5", tw(2190, 690, 255, 255), true},      {"dtpEDate", tw(2550, 690, 1335, 285), true},
        {"Command1", tw(6600, 600, 1215, 375), true},   {"TDBGrid1", tw(120, 1320, 11895, 6255), false},
        {"txtPoDir", tw(960, 7680, 4815, 270), false},  {"Command2", tw(5790, 7680, 285, 285), false},
    };
    for (const Row& row : rows) {
        auto* widget = w.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(widget->geometry(), row.geometry) << row.name;
        EXPECT_EQ(widget->parentWidget(), row.inFrame ? static_cast<QWidget*>(c.Frame1) : &w) << row.name;
    }
    const std::pair<const char*, QRect> labels[] = {
        {"担当CD", tw(375, 300, 735, 210)}, {"区分", tw(1890, 270, 495, 210)},   {"日付", tw(240, 750, 495, 210)},
        {"番号", tw(3300, 270, 495, 210)},  {"得意先", tw(5235, 285, 615, 210)}, {"PO保存先", tw(120, 7725, 855, 210)},
    };
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(c.Label1[i]->text(), QString::fromUtf8(labels[i].first)) << i;
        EXPECT_EQ(c.Label1[i]->geometry(), labels[i].second) << i;
        EXPECT_EQ(c.Label1[i]->property("index").toInt(), i);
        EXPECT_EQ(c.Label1[i]->objectName(), QStringLiteral("Label1"));
    }
    EXPECT_EQ(c.Frame1->title(), QStringLiteral("検索設定"));
    EXPECT_EQ(c.Command1->text(), QStringLiteral("検索"));
    EXPECT_EQ(c.Command2->text(), QStringLiteral("..."));
    EXPECT_EQ(c.Label5->text(), QStringLiteral("～"));
    EXPECT_EQ(c.find_tanto_cd->maxLength(), 3);
    for (QLineEdit* code : {c.find_tanto_cd, c.find_po_no, c.find_tok_cd})
        EXPECT_FALSE(code->testAttribute(Qt::WA_InputMethodEnabled)) << code->objectName().toStdString();
    EXPECT_TRUE(c.txtPoDir->isReadOnly());
    EXPECT_EQ(c.txtPoDir->palette().color(QPalette::Base), c.txtPoDir->palette().color(QPalette::Button));
    EXPECT_FALSE(c.find_po_kbn->isEditable());
    EXPECT_EQ(c.dtpSDate->displayFormat(), QStringLiteral("yyyy/MM/dd"));
    EXPECT_EQ(c.TDBGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(c.TDBGrid1->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(c.TDBGrid1->alternatingRowColors());
    EXPECT_EQ(c.TDBGrid1->columnWidth(1), 125);
}

TEST_F(FrmMainTest, tab_goes_through_the_controls_in_tab_index_order)
{
    frmMain w;
    const test::MainControls c(w);
    const QStringList expected = tabOrder();
    QStringList seen;
    QWidget* at = c.find_tanto_cd;
    for (int i = 0; i < 40 && seen.size() < expected.size(); ++i) {
        if (expected.contains(at->objectName()) && !seen.contains(at->objectName()))
            seen << at->objectName();
        at = at->nextInFocusChain();
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(FrmMainTest, tab_keys_move_through_the_form_and_out_of_the_grid_and_the_date_pickers)
{
    frmMain w;
    const test::MainControls c(w);
    // Rows in the grid: the view would take Tab to move between its cells.
    PoResultRows rows;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < PoResultModel::kColumns; ++c)
            rows.append(QStringLiteral("v%1").arg(c));
    w.resultTable().replaceRows(std::move(rows));
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    c.find_tanto_cd->setFocus();
    // From the first control round to it again.
    const QStringList expected = tabOrder().mid(1) << tabOrder().first();
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* f = QApplication::focusWidget();
        // A date picker's focus lies on its edit field inside it.
        while (f && f->objectName().isEmpty())
            f = f->parentWidget();
        seen << (f ? f->objectName() : QStringLiteral("(none)"));
    }
    EXPECT_EQ(seen, expected);
    // Back again from the field after the grid.
    c.find_tok_cd->setFocus();
    QTest::keyClick(c.find_tok_cd, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), c.TDBGrid1);
}

TEST_F(FrmMainTest, the_date_pickers_show_the_whole_date)
{
    frmMain w;
    const test::MainControls c(w);
    w.show();
    for (QDateEdit* picker : {c.dtpSDate, c.dtpEDate}) {
        picker->setDate(QDate(2026, 12, 28));
        const QLineEdit* field = picker->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        // The text, with the edit field's own margin of 2 pixels a side, fits in what the
        // drop-down button leaves of the field.
        const int text = field->fontMetrics().horizontalAdvance(picker->text());
        EXPECT_LE(text + 4, field->contentsRect().width() - field->textMargins().left() - field->textMargins().right())
            << picker->objectName().toStdString() << ": " << text << " of " << field->contentsRect().width();
    }
}

TEST_F(FrmMainTest, start_state_on_fixed_days)
{
    gTantoCd = QStringLiteral("12");
    gPoSaveFolder = QStringLiteral("/srv/po/");
    const std::tuple<QDate, QDate, QDate> days[] = {
        {QDate(2024, 5, 31), QDate(2024, 2, 29), QDate(2024, 6, 30)},
        {QDate(2025, 1, 31), QDate(2024, 10, 31), QDate(2025, 2, 28)},
        {QDate(2024, 7, 10), QDate(2024, 4, 10), QDate(2024, 8, 10)},
    };
    for (const auto& [day, first, last] : days) {
        const TodayForTesting fixed(day);
        frmMain w;
        const test::MainControls c(w);
        EXPECT_EQ(c.dtpSDate->date(), first) << day.toString().toStdString();
        EXPECT_EQ(c.dtpEDate->date(), last) << day.toString().toStdString();
        EXPECT_EQ(c.find_po_kbn->count(), 3);
        EXPECT_EQ(c.find_po_kbn->itemText(0), QStringLiteral("全て"));
        EXPECT_EQ(c.find_po_kbn->currentIndex(), -1);
        EXPECT_EQ(c.find_po_kbn->currentText(), QString());
        EXPECT_EQ(c.find_tanto_cd->text(), QStringLiteral("12"));
        EXPECT_EQ(c.txtPoDir->text(), QStringLiteral("/srv/po/"));
        EXPECT_TRUE(c.find_po_no->text().isEmpty());
        EXPECT_EQ(w.resultTable().rowCount(), 0);
    }
    gTantoCd.clear();
    gPoSaveFolder.clear();
}

class SearchTest : public ::testing::TestWithParam<test::Backend> {
protected:
    void SetUp() override
    {
        if (!test::useBackend(GetParam(), scratch))
            GTEST_SKIP() << test::skipReason(GetParam()).toStdString();
        today.emplace(QDate(2024, 3, 1));
        window = std::make_unique<frmMain>();
        ui.emplace(*window);
        ui->find_tanto_cd->clear();
        ui->dtpSDate->setDate(QDate(2024, 1, 1));
        ui->dtpEDate->setDate(QDate(2024, 12, 31));
    }
    QStringList search()
    {
        QTest::mouseClick(ui->Command1, Qt::LeftButton);
        QStringList numbers;
        for (int r = 0; r < window->resultTable().rowCount(); ++r)
            numbers << window->resultTable().text(r, 1);
        return numbers;
    }
    void type(QLineEdit* field, const QString& text)
    {
        field->clear();
        QTest::keyClicks(field, text);
    }

    QTemporaryDir scratch;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
    std::optional<TodayForTesting> today;
    std::unique_ptr<frmMain> window;
    std::optional<test::MainControls> ui;
};

TEST_P(SearchTest, searches_return_rows_in_descending_po_number)
{
    // As the database compares the numbers: SQL Server's collation puts '%' after the apostrophe,
    // where a comparison of the bytes puts it before.
    const bool collation = GetParam() == test::Backend::SqlServer;
    EXPECT_EQ(search(),
              (QStringList{QStringLiteral("P0004"), QStringLiteral("P0003"), QStringLiteral("P0002"),
                           QStringLiteral("P0001"), collation ? QStringLiteral("P%07") : QStringLiteral("P'0006"),
                           collation ? QStringLiteral("P'0006") : QStringLiteral("P%07")}));
    type(ui->find_tanto_cd, QStringLiteral("12"));
    EXPECT_EQ(search(), (QStringList{QStringLiteral("P0003"), QStringLiteral("P0002"), QStringLiteral("P0001"),
                                     QStringLiteral("P'0006")}));
    ui->find_po_kbn->setCurrentIndex(2);  // GK
    EXPECT_EQ(search(), QStringList{QStringLiteral("P0002")});
    ui->find_po_kbn->setCurrentIndex(1);  // PO
    type(ui->find_tok_cd, QStringLiteral("A0"));
    EXPECT_EQ(search(), (QStringList{QStringLiteral("P0003"), QStringLiteral("P0001"), QStringLiteral("P'0006")}));

    // The PO number alone decides, with the kind.
    type(ui->find_po_no, QStringLiteral("P0004"));
    EXPECT_EQ(search(), QStringList{QStringLiteral("P0004")});
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_FALSE(gCnPo->isOpen());
}

TEST_P(SearchTest, grid_shows_the_row_values_as_text)
{
    type(ui->find_po_no, QStringLiteral("P0001"));
    ASSERT_EQ(search(), QStringList{QStringLiteral("P0001")});
    const PoResultModel& t = window->resultTable();
    EXPECT_EQ(t.text(0, 0), QStringLiteral("0"));
    EXPECT_EQ(t.text(0, 2), QStringLiteral("2024/01/20"));
    EXPECT_EQ(t.text(0, 4), QStringLiteral("北星商事"));
    EXPECT_EQ(t.text(0, 7), QStringLiteral("2024/02/28"));
    EXPECT_EQ(t.text(0, 9), QStringLiteral("山田 太郎"));
    type(ui->find_po_no, QStringLiteral("P0003"));
    search();
    EXPECT_TRUE(t.text(0, 4).isNull());  // NULL shows as an empty cell
}

TEST_P(SearchTest, dates_bound_the_result_and_an_empty_result_empties_the_grid)
{
    ui->dtpSDate->setDate(QDate(2024, 2, 10));
    ui->dtpEDate->setDate(QDate(2024, 3, 1));
    EXPECT_EQ(search(), (QStringList{QStringLiteral("P0004"), QStringLiteral("P0002")}));
    ui->dtpSDate->setDate(QDate(2024, 6, 1));
    ui->dtpEDate->setDate(QDate(2024, 1, 1));
    EXPECT_EQ(search(), QStringList());
    // Both pickers on today: no date condition at all.
    ui->dtpSDate->setDate(QDate(2024, 3, 1));
    ui->dtpEDate->setDate(QDate(2024, 3, 1));
    EXPECT_EQ(search().size(), 6);
}

TEST_P(SearchTest, typed_text_matches_literally_with_wildcards_as_wildcards)
{
    const QString attacks[] = {QStringLiteral("'"), QStringLiteral("' OR '1'='1"),
                               QStringLiteral("'; DROP TABLE TBL_PO_H; --")};
    for (QLineEdit* field : {ui->find_tanto_cd, ui->find_tok_cd, ui->find_po_no}) {
        for (const QString& attack : attacks) {
            type(field, attack);
            EXPECT_EQ(search(), QStringList()) << field->objectName().toStdString() << " " << attack.toStdString();
        }
        field->clear();
    }
    EXPECT_EQ(search().size(), 6);  // the table is intact

    type(ui->find_po_no, QStringLiteral("P'0006"));
    EXPECT_EQ(search(), QStringList{QStringLiteral("P'0006")});
    ui->find_po_no->clear();
    type(ui->find_tanto_cd, QStringLiteral("_2"));  // '_' matches any one character
    EXPECT_EQ(search(), (QStringList{QStringLiteral("P0003"), QStringLiteral("P0002"), QStringLiteral("P0001"),
                                     QStringLiteral("P'0006")}));
    type(ui->find_tanto_cd, QStringLiteral("%"));
    EXPECT_EQ(search().size(), 6);
    ui->find_tanto_cd->clear();
    type(ui->find_tok_cd, QStringLiteral("A_"));
    EXPECT_EQ(search().size(), 4);
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_P(SearchTest, a_failed_db_open_keeps_the_grid_and_the_window)
{
    ASSERT_EQ(search().size(), 6);
    gPoDbSetting.ServerName = scratch.filePath(QStringLiteral("gone.db"));
    gPoDbSetting.Provider = QStringLiteral("SQLite");
    EXPECT_EQ(search().size(), 6);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("dbOpen"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(ui->Command1->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(backends, SearchTest,
                         ::testing::Values(test::Backend::SQLite, test::Backend::PostgreSQL, test::Backend::SqlServer),
                         [](const auto& info) { return std::string(test::backendName(info.param)); });

TEST(search_failure, a_statement_the_database_rejects_reaches_the_last_resort)
{
    QTemporaryDir dir;
    const QString path = test::makeTestSqlite(dir.path(), QStringLiteral("po.db"));
    test::execOnSqlite(path, QStringLiteral("DROP TABLE TBL_PO_H"));
    gPoDbSetting = DbSetting{QStringLiteral("SQLite"), path, {}, {}, {}, 5, false, {}};
    RecordingMessageSink recorder;
    ScopedMessageSink scoped(recorder);
    struct Ended {};
    frmMain w;
    const test::MainControls c(w);
    {
        const TerminateHookForTesting hook([](int) { throw Ended{}; });
        EXPECT_THROW(QTest::mouseClick(c.Command1, Qt::LeftButton), Ended);
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Tolvar"));
    EXPECT_TRUE(recorder.messages[0].text.contains(QStringLiteral("TBL_PO_H")))
        << recorder.messages[0].text.toStdString();
}
