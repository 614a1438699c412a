// The benchmarks' PO databases: the demo schema run on a fresh SQLite connection.
#pragma once

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

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
