// The single-instance rule between real processes: a second copy ends silently, a crashed
// copy's lock does not block.
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

using namespace tolvar;

namespace {

void startProbe(QProcess& probe, const QString& key)
{
    probe.start(QStringLiteral(LOCK_PROBE), {key});
    ASSERT_TRUE(probe.waitForReadyRead(10000));
}

}  // namespace

TEST(single_instance, a_second_process_is_refused_and_a_crashed_lock_is_taken_over)
{
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("tolvar"));
    QProcess first;
    startProbe(first, key);
    EXPECT_EQ(first.readAllStandardOutput().trimmed(), "held");

    QProcess second;
    startProbe(second, key);
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "busy");
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 3);

    // Another user of the same machine and program folder (another home folder) has a copy of
    // their own.
    QProcess otherUser;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home-of-another")));
    otherUser.setProcessEnvironment(env);
    startProbe(otherUser, key);
    EXPECT_EQ(otherUser.readAllStandardOutput().trimmed(), "held");
    otherUser.closeWriteChannel();
    otherUser.waitForFinished(10000);

    // Another executable path is another program.
    QProcess other;
    startProbe(other, dir.filePath(QStringLiteral("other")));
    EXPECT_EQ(other.readAllStandardOutput().trimmed(), "held");
    other.closeWriteChannel();
    other.waitForFinished(10000);

    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    QProcess third;
    startProbe(third, key);
    EXPECT_EQ(third.readAllStandardOutput().trimmed(), "held");
    third.closeWriteChannel();
    EXPECT_TRUE(third.waitForFinished(10000));
}

TEST(single_instance, a_lock_planted_by_another_user_keeps_no_one_from_starting)
{
    // A runtime folder anyone may write to, with a file under the lock's name in it: the lock goes
    // to a folder of the user's own instead, and the copy starts.
    QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("tolvar"));
    const QString shared = dir.filePath(QStringLiteral("shared"));
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(shared);
    QDir().mkpath(home);
    QFile::setPermissions(shared, QFileDevice::Permissions(0x7777));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), shared);
    env.insert(QStringLiteral("HOME"), home);
    // A lock of another machine's process: one that would never be taken for stale.
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash((QFileInfo(key).absoluteFilePath() + QChar(0) + home).toUtf8(),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(16));
    test::writeFile(shared + QStringLiteral("/tolvar-") + hash + QStringLiteral(".lock"), "99999\nx\nother-host\n");
    QProcess second;
    second.setProcessEnvironment(env);
    startProbe(second, key);
    EXPECT_EQ(second.readAllStandardOutput().trimmed(), "held");
    second.closeWriteChannel();
    EXPECT_TRUE(second.waitForFinished(10000));
}

TEST(single_instance, a_second_tolvar_ends_at_once_without_a_word_while_the_first_runs)
{
    test::ProgramFolder folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(TOLVAR_APP_DIR "/tolvar"), folder.file(QStringLiteral("tolvar"))));
    QFile::setPermissions(folder.file(QStringLiteral("tolvar")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    test::makeTestSqlite(folder.path(), QStringLiteral("po.db"));
    folder.writeSettings("[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=po.db\r\n");

    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(folder.file(QStringLiteral("tolvar")), {QStringLiteral("12")});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first copy is up once it has taken its lock and stays up in its event loop.
    EXPECT_FALSE(first.waitForFinished(1500));

    QProcess second;
    QElapsedTimer timer;
    timer.start();
    second.start(folder.file(QStringLiteral("tolvar")), {QStringLiteral("12")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    const QByteArray said = second.readAllStandardError() + second.readAllStandardOutput();
    EXPECT_FALSE(said.contains("エラー")) << said.constData();
    first.kill();
    first.waitForFinished(10000);
}
