#include "db/Recordset.h"

#include "db/Connection.h"
#include "db/DbError.h"

namespace tolvar {

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const QString& source, const QVariantList& values, const Connection& connection,
                     CursorType cursorType)
{
    Close();
    if (!connection.isOpen())
        throw Failure::of(FailureCode::DbNotOpen);
    cursor_ = cursorType;
    query_ = std::make_unique<QSqlQuery>(connection.database());
    query_->setForwardOnly(true);
    // Numbers come as numbers, not as the database's text of them ("3.0000").
    query_->setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query_->prepare(source))
        throw failureFromSqlError(query_->lastError(), FailureCode::DbStatementFailed);
    for (const QVariant& value : values)
        query_->addBindValue(value);
    if (!query_->exec())
        throw failureFromSqlError(query_->lastError(), FailureCode::DbStatementFailed);
    record_ = query_->record();
    open_ = true;

    if (cursor_ == adOpenStatic) {
        const int columns = record_.count();
        while (query_->next()) {
            QVariantList row;
            row.reserve(columns);
            for (int i = 0; i < columns; ++i)
                row.append(query_->value(i));
            rows_.push_back(std::move(row));
        }
        if (query_->lastError().isValid())
            throw failureFromSqlError(query_->lastError(), FailureCode::DbReadFailed);
        query_.reset();
        position_ = 0;
        eof_ = rows_.empty();
    } else {
        fetchNext();
    }
}

void Recordset::fetchNext()
{
    eof_ = !query_->next();
    if (eof_ && query_->lastError().isValid())
        throw failureFromSqlError(query_->lastError(), FailureCode::DbReadFailed);
}

bool Recordset::Eof() const
{
    return !open_ || eof_;
}

void Recordset::MoveNext()
{
    requireRow();
    if (cursor_ == adOpenStatic) {
        ++position_;
        eof_ = position_ >= static_cast<qsizetype>(rows_.size());
    } else {
        fetchNext();
    }
}

qint64 Recordset::RecordCount() const
{
    if (!open_)
        throw Failure::of(FailureCode::DbNotOpen);
    return cursor_ == adOpenStatic ? static_cast<qint64>(rows_.size()) : -1;
}

int Recordset::ordinalOf(const QString& column) const
{
    auto known = columnIndex_.constFind(column);
    if (known == columnIndex_.constEnd())
        known = columnIndex_.insert(column, record_.indexOf(column));
    if (*known < 0)
        throw Failure::of(FailureCode::ItemNotFound, column);
    return *known;
}

void Recordset::requireRow() const
{
    if (!open_)
        throw Failure::of(FailureCode::DbNotOpen);
    if (eof_)
        throw Failure::of(FailureCode::DbReadFailed, QStringLiteral("(EOF)"));
}

QVariant Recordset::Fields(const QString& column) const
{
    return Fields(ordinalOf(column));
}

QVariant Recordset::Fields(int ordinal) const
{
    requireRow();
    if (ordinal < 0 || ordinal >= record_.count())
        throw Failure::of(FailureCode::ItemNotFound, QString::number(ordinal));
    if (cursor_ == adOpenStatic)
        return rows_[position_].at(ordinal);
    return query_->value(ordinal);
}

void Recordset::Close()
{
    query_.reset();
    record_ = QSqlRecord();
    columnIndex_.clear();
    rows_.clear();
    position_ = 0;
    open_ = false;
    eof_ = true;
}

}  // namespace tolvar
