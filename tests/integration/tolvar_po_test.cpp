// The tolvar-po command as a whole process: its output, its exit statuses.
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>

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
