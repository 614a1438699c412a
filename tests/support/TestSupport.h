// Test helpers: a temporary program folder that the program's paths point at, file helpers,
// and the PostgreSQL connection that the test command's server offers.
#pragma once

#include "settings/DbSetting.h"
#include "util/Messages.h"
#include "util/ProgramPaths.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <optional>
#include <ostream>

// Failures show texts as text, not as the bytes of the object.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace tolvar {
inline void PrintTo(const Message& m, std::ostream* os)
{
    *os << "{\"" << m.text.toStdString() << "\", caption \"" << m.caption.toStdString() << "\", icon "
        << static_cast<int>(m.icon) << "}";
}
}  // namespace tolvar

namespace tolvar::test {

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
QString fixture(const QString& name);

// A temporary folder that stands in for the program folder for the lifetime of the object.
class ProgramFolder {
public:
    ProgramFolder();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const;
    QString settingsPath() const { return file(QStringLiteral("tolvar.ini")); }
    void writeSettings(const QByteArray& bytes) const { writeFile(settingsPath(), bytes); }

private:
    QTemporaryDir dir_;
    ProgramPathsForTesting paths_;
};

// While it lives, no file of this process may grow past `bytes`: a disk that fills up. Only
// where the system limits a process's file sizes (not on Windows): see available().
class FileSizeLimit {
public:
    static bool available();
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 old_ = 0;
};

// While it lives, Qt's warnings are kept instead of printed, so that a test can expect none (the
// item-model tester reports a broken model contract as a warning).
class QtWarnings {
public:
    QtWarnings();
    ~QtWarnings();
    QtWarnings(const QtWarnings&) = delete;
    QtWarnings& operator=(const QtWarnings&) = delete;
    const QStringList& messages() const { return messages_; }

private:
    QStringList messages_;
    QtMessageHandler previous_;
};

// The test PostgreSQL server's settings, or nothing when the test run started none.
std::optional<DbSetting> postgresSetting();
// Why PostgreSQL cases are skipped.
QString postgresSkipReason();

// Runs one statement on the SQLite file through a writable connection of its own.
void execOnSqlite(const QString& path, const QString& statement);

// A SQLite copy of the test data (schema + rows of tests/fixtures/po-test-data.sql) in the folder.
QString makeTestSqlite(const QString& folder, const QString& name = QStringLiteral("test.db"));

}  // namespace tolvar::test
