// The benchmarks' PO databases: the demo schema on a fresh SQLite file, and POs of a given number
// of lines (one supplier and customer, the same item on every line, quantities 1 to 7).
#pragma once

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

inline void createPoSchema(QSqlDatabase& db)
{
    QFile schema(QStringLiteral(TOLVAR_SOURCE_DIR "/assets/demo/schema-sqlite.sql"));
    schema.open(QIODevice::ReadOnly);
    QStringList code;
    for (const QString& line : QString::fromUtf8(schema.readAll()).split(QLatin1Char('\n')))
        if (!line.trimmed().startsWith(QLatin1String("--")))
            code << line;
    for (const QString& statement : code.join(QLatin1Char('\n')).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!statement.trimmed().isEmpty())
            QSqlQuery(db).exec(statement);
}

// Each PO number with its count of lines, written in one transaction.
inline void makePoDatabase(const QString& file, const std::vector<std::pair<QString, int>>& pos)
{
    const QString connection = QStringLiteral("bench-writer");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        db.open();
        createPoSchema(db);
        db.transaction();
        QSqlQuery h(db), m(db);
        h.prepare(
            QStringLiteral("INSERT INTO TBL_PO_H (PO番号, 発注区分, 発注先名, PO発行日, 得意先CD, 得意先名, 希望納期, "
                           "運賃請求, ロス率) "
                           "VALUES (?, '0', '東洋精機株式会社', '2024/01/15', 'A01', '北星商事', '2024/02/28', 0, 1)"));
        m.prepare(
            QStringLiteral("INSERT INTO TBL_PO_M (PO番号, PO行, 商品CD, 品名1, 品名2, 客先商品CD, 数量, 下代, 上代) "
                           "VALUES (?, ?, ?, 'ステンレスボルト', 'M8×30', 'C-001', ?, 1500.5, 2100.7)"));
        for (const auto& [number, lines] : pos) {
            h.addBindValue(number);
            h.exec();
            for (int line = 1; line <= lines; ++line) {
                m.addBindValue(number);
                m.addBindValue(line);
                m.addBindValue(QStringLiteral("ITM-%1").arg(line));
                m.addBindValue(line % 7 + 1);
                m.exec();
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}
