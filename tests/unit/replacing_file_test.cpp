// A workbook replaces the older file only whole: on every way of failing, the older file and the
// folder stay as they were.
#include "platform/ReplacingFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <QFileInfo>

using namespace tolvar;

namespace {

class ReplacingFileTest : public ::testing::TestWithParam<ReplacingFile::Aside> {
protected:
    QTemporaryDir dir;
    QString target = dir.filePath(QStringLiteral("P26-0007.xls"));
    const QByteArray older = "the older workbook";
    const QByteArray newer = QByteArray(70000, 'n') + "the newer workbook";

    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
    bool replace(const QString& path, const QByteArray& bytes)
    {
        ReplacingFile file(path, GetParam());
        return file.write(bytes.constData(), bytes.size()) && file.commit();
    }
};

TEST_P(ReplacingFileTest, replaces_the_older_file_and_keeps_its_permissions)
{
    test::writeFile(target, older);
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(target, permissions));
    const auto before = QFile::permissions(target);
    ASSERT_TRUE(replace(target, newer));
    EXPECT_EQ(test::readFile(target), newer);
    EXPECT_EQ(QFile::permissions(target), before);
    EXPECT_EQ(files(), QStringList{QStringLiteral("P26-0007.xls")});

    // A file that was not there before.
    const QString fresh = dir.filePath(QStringLiteral("P26-0008.xls"));
    ASSERT_TRUE(replace(fresh, older));
    EXPECT_EQ(test::readFile(fresh), older);
    EXPECT_EQ(files().size(), 2);
}

TEST_P(ReplacingFileTest, a_file_never_committed_leaves_nothing_behind)
{
    test::writeFile(target, older);
    {
        ReplacingFile file(target, GetParam());
        ASSERT_TRUE(file.write(newer.constData(), newer.size()));
    }  // the workbook failed its check
    EXPECT_EQ(test::readFile(target), older);
    EXPECT_EQ(files(), QStringList{QStringLiteral("P26-0007.xls")});
    {
        ReplacingFile file(dir.filePath(QStringLiteral("P26-0008.xls")), GetParam());
        ASSERT_TRUE(file.write(newer.constData(), newer.size()));
    }
    EXPECT_EQ(files(), QStringList{QStringLiteral("P26-0007.xls")});
}

TEST_P(ReplacingFileTest, refuses_what_it_must_not_replace)
{
    // A folder of the name, and a folder that is not there.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("P26-0009.xls")));
    ReplacingFile folder(dir.filePath(QStringLiteral("P26-0009.xls")), GetParam());
    EXPECT_FALSE(folder.write(newer.constData(), newer.size()));
    EXPECT_FALSE(folder.errorString().isEmpty());
    EXPECT_FALSE(folder.commit());
    EXPECT_FALSE(replace(dir.filePath(QStringLiteral("gone/P26-0007.xls")), newer));

    // A read-only file (the superuser may write any file, as the check knows).
#ifndef Q_OS_WIN
    if (::geteuid() == 0)
        return;
#endif
    test::writeFile(target, older);
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadUser));
    EXPECT_FALSE(replace(target, newer));
    EXPECT_EQ(test::readFile(target), older);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_P(ReplacingFileTest, a_full_disk_keeps_the_older_file)
{
    if (!test::FileSizeLimit::available())
        GTEST_SKIP() << "no file size limit on this system";
    test::writeFile(target, older);
    {
        const test::FileSizeLimit full(8192);
        ReplacingFile file(target, GetParam());
        EXPECT_FALSE(file.write(newer.constData(), newer.size()));
        EXPECT_FALSE(file.errorString().isEmpty());
        EXPECT_FALSE(file.commit());
    }
    EXPECT_EQ(test::readFile(target), older);
    EXPECT_EQ(files(), QStringList{QStringLiteral("P26-0007.xls")});
}

#ifndef Q_OS_WIN
TEST_P(ReplacingFileTest, a_link_at_the_name_is_replaced_never_written_through)
{
    // Another user's link in a shared save folder, to a file of the user's own.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("home")));
    const QString own = dir.filePath(QStringLiteral("home/.bashrc"));
    test::writeFile(own, older);
    ASSERT_TRUE(QFile::link(own, target));
    ASSERT_TRUE(replace(target, newer));
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(test::readFile(target), newer);
    EXPECT_EQ(test::readFile(own), older);
    // A link to nowhere is replaced the same way; a pipe of the name is refused.
    const QString dangling = dir.filePath(QStringLiteral("P26-0010.xls"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), dangling));
    ASSERT_TRUE(replace(dangling, newer));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));
    const QByteArray pipe = QFile::encodeName(dir.filePath(QStringLiteral("P26-0011.xls")));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    ReplacingFile fifo(QFile::decodeName(pipe), GetParam());
    EXPECT_FALSE(fifo.write(newer.constData(), newer.size()));
    EXPECT_TRUE(fifo.errorString().contains(QStringLiteral("pipe"))) << fifo.errorString().toStdString();
}
#endif

TEST_P(ReplacingFileTest, a_name_as_long_as_the_folder_allows_is_written)
{
    // The new file's temporary name is short, whatever the name it replaces.
    const QString longest = dir.filePath(QString(245, QLatin1Char('P')) + QStringLiteral(".xls"));
    ASSERT_TRUE(replace(longest, newer));
    EXPECT_EQ(test::readFile(longest), newer);
}

INSTANTIATE_TEST_SUITE_P(aside, ReplacingFileTest,
                         ::testing::Values(ReplacingFile::Aside::Unnamed, ReplacingFile::Aside::Named),
                         [](const auto& info) {
                             return std::string(info.param == ReplacingFile::Aside::Named ? "named" : "unnamed");
                         });

}  // namespace
