// Recordset: the result of one SELECT on a Connection, read row by row. A forward-only cursor
// streams the rows; a static cursor reads them all at Open, so RecordCount is known before the
// first row is used. Columns are found by name without regard to case (PostgreSQL folds
// unquoted names to lower case) or by ordinal from 0; a database NULL is a null QVariant.
// Every failure (the statement, a lost connection, a missing column) throws a Failure with the
// driver's number and description.
#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <vector>

namespace tolvar {

class Connection;

enum CursorType : int { adOpenForwardOnly = 0, adOpenStatic = 3 };

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // source: the statement with '?' placeholders; values: one per placeholder, in order.
    void Open(const QString& source, const QVariantList& values, const Connection& connection, CursorType cursorType);
    bool Eof() const;
    void MoveNext();
    // The number of rows of a static cursor; -1 for a forward-only one.
    qint64 RecordCount() const;
    QVariant Fields(const QString& column) const;
    QVariant Fields(int ordinal) const;
    // The ordinal of a column found by name, for a caller that reads it on every row.
    int ordinalOf(const QString& column) const;
    void Close();
    bool isOpen() const { return open_; }

private:
    void requireRow() const;
    void fetchNext();

    std::unique_ptr<QSqlQuery> query_;
    QSqlRecord record_;
    // The columns looked up by name so far: a workbook asks for the same dozen names on every line.
    mutable QHash<QString, int> columnIndex_;
    CursorType cursor_ = adOpenForwardOnly;
    bool open_ = false;
    bool eof_ = true;
    // Static cursor: every row, read at Open.
    std::vector<QVariantList> rows_;
    qsizetype position_ = 0;
};

}  // namespace tolvar
