// The tolvar-po command as a whole process: its output, its exit statuses.
#include "search/PoResultModel.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "support/FormControls.h"
#include "support/TestSupport.h"
#include "util/Messages.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <set>

using namespace tolvar;

namespace {

struct Outcome {
    int status;
    QString out;
    QString err;
};

class TolvarPoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TOLVAR_APP_DIR "/tolvar-po"), folder.file(QStringLiteral("tolvar-po"))));
        QFile::setPermissions(folder.file(QStringLiteral("tolvar-po")),
                              QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
        QFile::copy(QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls"), folder.file(QStringLiteral("MST_PO.xls")));
        test::makeTestSqlite(folder.path(), QStringLiteral("po.db"));
        QDir(folder.path()).mkdir(QStringLiteral("out"));
        folder.writeSettings("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=po.db\r\n[全般]\r\nPO_SAVE_FOLDER=" +
                             folder.file(QStringLiteral("out/")).toUtf8() + "\r\n");
    }
    Outcome run(const QStringList& arguments)
    {
        QProcess p;
        p.start(folder.file(QStringLiteral("tolvar-po")), arguments);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    test::ProgramFolder folder;
};

}  // namespace

TEST_F(TolvarPoTest, writes_every_po_and_prints_each_path)
{
    const Outcome r = run({QStringLiteral("P0001"), QStringLiteral("P'0006")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, folder.file(QStringLiteral("out/P0001.xls")) + QLatin1Char('\n') +
                         folder.file(QStringLiteral("out/P'0006.xls")) + QLatin1Char('\n'));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("out/P'0006.xls"))));
}

TEST_F(TolvarPoTest, a_missing_po_is_named_and_the_others_are_still_written)
{
    QDir(folder.path()).mkdir(QStringLiteral("elsewhere"));
    const Outcome r = run({QStringLiteral("--out"), folder.file(QStringLiteral("elsewhere")), QStringLiteral("NOPE"),
                           QStringLiteral("P0002")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains(QStringLiteral("NOPE")));
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("elsewhere/P0002.xls"))));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("elsewhere/NOPE.xls"))));
}

TEST_F(TolvarPoTest, usage_and_failures_have_their_statuses)
{
    EXPECT_EQ(run({QStringLiteral("--help")}).status, 0);
    EXPECT_TRUE(run({QStringLiteral("--help")}).out.contains(QStringLiteral("usage: tolvar-po")));
    const Outcome version = run({QStringLiteral("--version"), QStringLiteral("P0001")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("tolvar-po " TOLVAR_VERSION "\n"));
    EXPECT_TRUE(QDir(folder.file(QStringLiteral("out"))).isEmpty());
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--bogus"), QStringLiteral("P0001")}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--out")}).status, 2);
    const Outcome noTemplate =
        run({QStringLiteral("--template"), folder.file(QStringLiteral("none.xls")), QStringLiteral("P0001")});
    EXPECT_EQ(noTemplate.status, 1);
    EXPECT_TRUE(noTemplate.err.contains(QStringLiteral("(-3001)"))) << noTemplate.err.toStdString();
    const Outcome noSettings =
        run({QStringLiteral("--settings"), folder.file(QStringLiteral("none.ini")), QStringLiteral("P0001")});
    EXPECT_EQ(noSettings.status, 1);
    EXPECT_TRUE(noSettings.err.contains(QStringLiteral("イニファイルが見つかりません。")));
}

TEST_F(TolvarPoTest, bad_arguments_are_refused_with_the_reason_and_nothing_is_made)
{
    const std::pair<QStringList, QString> cases[] = {
        {{QStringLiteral("--colour"), QStringLiteral("P0001")}, QStringLiteral("unknown option --colour")},
        {{QStringLiteral("--from"), QStringLiteral("2024/03/01"), QStringLiteral("--to"), QStringLiteral("2024/02/01")},
         QStringLiteral("--from 2024/03/01 is later than --to 2024/02/01")},
        {{QStringLiteral("--from"), QStringLiteral("2024/02/30")},
         QStringLiteral("--from 2024/02/30 is not a date of the form YYYY/MM/DD")},
        {{QStringLiteral("--to"), QStringLiteral("2024-02-01")},
         QStringLiteral("--to 2024-02-01 is not a date of the form YYYY/MM/DD")},
        {{QStringLiteral("--kind"), QStringLiteral("2")}, QStringLiteral("--kind is 0 (PO) or 1 (GK), not 2")},
        {{QStringLiteral("--pdf-timeout"), QStringLiteral("soon"), QStringLiteral("P0001")},
         QStringLiteral("--pdf-timeout needs a number of seconds, not soon")},
        {{QStringLiteral("--staff"), QStringLiteral("12"), QStringLiteral("P0001")},
         QStringLiteral("give PO numbers or search conditions, not both")},
    };
    for (const auto& [arguments, reason] : cases) {
        const Outcome r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(reason + QLatin1Char('\n'))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage: tolvar-po")));
    }
    EXPECT_TRUE(QDir(folder.file(QStringLiteral("out"))).isEmpty());
}

TEST_F(TolvarPoTest, a_workbook_open_elsewhere_fails_alone_and_the_summary_counts_it)
{
    test::writeFile(folder.file(QStringLiteral("out/.~lock.P0002.xls#")), "someone,host,,;");
    const Outcome r = run({QStringLiteral("P0001"), QStringLiteral("P0002"), QStringLiteral("NOPE")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(QFile::exists(folder.file(QStringLiteral("out/P0001.xls"))));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("out/P0002.xls"))));
    EXPECT_TRUE(r.err.contains(QStringLiteral("P0002: ファイルは別のプログラムで開かれています。")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("1 of 3 workbooks made, 1 not found, 1 failed\n")))
        << r.err.toStdString();
}

// tolvar-po's conditions select what the search window finds with the same conditions, in the
// same order: both go through one statement.
TEST_F(TolvarPoTest, list_selects_what_the_search_window_finds)
{
    RecordingMessageSink recorder;
    const ScopedMessageSink scoped(recorder);
    ASSERT_EQ(LoadSettings(), 0);
    frmMain window;
    const test::MainControls ui(window);

    struct Conditions {
        QString staff, customer;
        int kind;  // the box's index: -1 none, 0 全て, 1 PO, 2 GK
        QString from, to;
    };
    const Conditions cases[] = {
        {{}, {}, -1, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {QStringLiteral("12"), {}, 0, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {QStringLiteral("1"), {}, -1, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {QStringLiteral("1_"), {}, -1, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {{}, {}, 1, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {{}, {}, 2, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {{}, QStringLiteral("A"), -1, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {{}, QStringLiteral("A_"), -1, QStringLiteral("2024/01/01"), QStringLiteral("2024/12/31")},
        {{}, {}, -1, QStringLiteral("2024/02/10"), QStringLiteral("2024/03/01")},
        {QStringLiteral("12"), QStringLiteral("A0"), 1, QStringLiteral("2024/01/01"), QStringLiteral("2024/04/30")},
        {{}, {}, -1, QStringLiteral("2025/01/01"), QStringLiteral("2025/12/31")},
    };
    std::set<qsizetype> sizes;  // the cases select different sets, not all the same few
    for (const Conditions& c : cases) {
        ui.find_tanto_cd->setText(c.staff);
        ui.find_tok_cd->setText(c.customer);
        ui.find_po_kbn->setCurrentIndex(c.kind);
        ui.dtpSDate->setDate(QDate::fromString(c.from, QStringLiteral("yyyy/MM/dd")));
        ui.dtpEDate->setDate(QDate::fromString(c.to, QStringLiteral("yyyy/MM/dd")));
        QTest::mouseClick(ui.Command1, Qt::LeftButton);
        QStringList found;
        for (int r = 0; r < window.resultTable().rowCount(); ++r)
            found << window.resultTable().text(r, 1);

        QStringList arguments{QStringLiteral("--list"), QStringLiteral("--from"), c.from, QStringLiteral("--to"), c.to};
        if (!c.staff.isEmpty())
            arguments << QStringLiteral("--staff") << c.staff;
        if (!c.customer.isEmpty())
            arguments << QStringLiteral("--customer") << c.customer;
        if (c.kind > 0)
            arguments << QStringLiteral("--kind") << QString::number(c.kind - 1);
        const Outcome r = run(arguments);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        QStringList listed;
        for (const QString& line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            listed << line.section(QLatin1Char('\t'), 0, 0);
        EXPECT_EQ(listed, found) << arguments.join(' ').toStdString();
        sizes.insert(found.size());
    }
    EXPECT_GE(sizes.size(), 5u);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_TRUE(QDir(folder.file(QStringLiteral("out"))).isEmpty());
}

TEST_F(TolvarPoTest, conditions_make_every_po_they_select)
{
    const Outcome r =
        run({QStringLiteral("--staff"), QStringLiteral("12"), QStringLiteral("--kind"), QStringLiteral("0")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    // Staff codes that begin with 12 (12 and 123), order kind 0, any date.
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("3 POs selected\n"))) << r.err.toStdString();
    QStringList made = QDir(folder.file(QStringLiteral("out"))).entryList(QDir::Files);
    EXPECT_EQ(made,
              (QStringList{QStringLiteral("P'0006.xls"), QStringLiteral("P0001.xls"), QStringLiteral("P0003.xls")}));
}
