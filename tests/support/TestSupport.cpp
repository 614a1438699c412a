#include "support/TestSupport.h"

#include "util/ProgramPaths.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace tolvar::test {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QString fixture(const QString& name)
{
    return QDir(QStringLiteral(TOLVAR_FIXTURES_DIR)).filePath(name);
}

ProgramFolder::ProgramFolder() : paths_(dir_.path(), QStringLiteral("tolvar")) {}

QString ProgramFolder::file(const QString& name) const
{
    return QDir(dir_.path()).filePath(name);
}

namespace {
QStringList* collected = nullptr;

void collect(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (collected && type != QtDebugMsg && type != QtInfoMsg)
        collected->append(message);
}
}  // namespace

QtWarnings::QtWarnings() : previous_(qInstallMessageHandler(collect))
{
    collected = &messages_;
}

QtWarnings::~QtWarnings()
{
    collected = nullptr;
    qInstallMessageHandler(previous_);
}

std::optional<DbSetting> postgresSetting()
{
    const QString file = qEnvironmentVariable("TOLVAR_TEST_PG_FILE");
    if (file.isEmpty())
        return std::nullopt;
    // One line: host:port database user password
    const QStringList parts = QString::fromUtf8(readFile(file)).trimmed().split(QLatin1Char(' '));
    if (parts.size() != 4)
        return std::nullopt;
    DbSetting setting;
    setting.Provider = QStringLiteral("PostgreSQL");
    setting.ServerName = parts[0];
    setting.DbName = parts[1];
    setting.UserName = parts[2];
    setting.Password = parts[3];
    setting.ConnectTimeout = 5;
    return setting;
}

QString postgresSkipReason()
{
    return QStringLiteral(
        "no PostgreSQL test server: run the suite through the README's test command "
        "(it starts one and sets TOLVAR_TEST_PG_FILE)");
}

void execOnSqlite(const QString& path, const QString& statement)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-writer"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-writer"));
}

QString makeTestSqlite(const QString& folder, const QString& name)
{
    const QString path = QDir(folder).filePath(name);
    QFile::remove(path);
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {QStringLiteral("-bail"), path});
    sqlite.write(readFile(QStringLiteral(TOLVAR_SOURCE_DIR "/assets/demo/schema-sqlite.sql")));
    sqlite.write(readFile(fixture(QStringLiteral("po-test-data.sql"))));
    sqlite.closeWriteChannel();
    if (!sqlite.waitForFinished(60000) || sqlite.exitCode() != 0)
        ADD_FAILURE() << "sqlite3 failed: " << sqlite.readAllStandardError().toStdString();
    return path;
}

}  // namespace tolvar::test
