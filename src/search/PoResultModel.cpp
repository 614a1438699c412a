#include "search/PoResultModel.h"

#include "util/DateFormat.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>

namespace tolvar {

namespace {

struct ColumnSpec {
    const char16_t* heading;
    int widthTwips;
};

constexpr ColumnSpec kSpecs[PoResultModel::kColumns] = {
    {u"", 873},          {u"PO番号", 1879},   {u"発行日", 1720},   {u"得CD", 1138},   {u"得意先名", 3254},
    {u"納品先名", 3122}, {u"請求先名", 2858}, {u"希望納期", 1799}, {u"担当者", 1191}, {u"担当者名", 2143},
};

}  // namespace

PoResultModel::PoResultModel(QObject* parent) : QAbstractTableModel(parent) {}

int PoResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.cellCount() / kColumns);
}

int PoResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant PoResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    return {};
}

QVariant PoResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < kColumns ? QString::fromUtf16(kSpecs[section].heading) : QVariant();
    return QString();  // record selectors carry no number
}

Qt::ItemFlags PoResultModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString PoResultModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumns)
        return QString();
    return rows_.cell(static_cast<qsizetype>(row) * kColumns + column);
}

int PoResultModel::initialWidthTwips(int column)
{
    return column >= 0 && column < kColumns ? kSpecs[column].widthTwips : 0;
}

void PoResultModel::replaceRows(PoResultRows rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    rows_.shrink();
    endResetModel();
}

void PoResultRows::append(const QVariant& value)
{
    if (value.isNull()) {
        appendText({}, true);
    } else if (value.typeId() == QMetaType::QString) {
        appendText(QStringView(*static_cast<const QString*>(value.constData())), false);
    } else {
        appendText(PoResultModel::cellText(value), false);
    }
}

void PoResultRows::appendText(QStringView text, bool isNull)
{
    text_.append(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
    ends_.push_back(static_cast<quint32>(text_.size()) | (isNull ? kNullBit : 0u));
}

bool PoResultRows::appendUtf8(QByteArrayView text)
{
    // Stateless: each value is whole, and a cut sequence at its end is a replacement character.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const std::size_t at = text_.size();
    text_.resize(at + static_cast<std::size_t>(decoder.requiredSpace(text.size())));
    QChar* begin = reinterpret_cast<QChar*>(text_.data() + at);
    const QChar* end = decoder.appendToBuffer(begin, text);
    text_.resize(at + static_cast<std::size_t>(end - begin));
    ends_.push_back(static_cast<quint32>(text_.size()));
    return !decoder.hasError();
}

void PoResultRows::dropLast()
{
    ends_.pop_back();
    text_.resize(ends_.empty() ? 0 : ends_.back() & ~kNullBit);
}

QString PoResultRows::cell(qsizetype index) const
{
    const quint32 end = ends_[static_cast<std::size_t>(index)];
    if (end & kNullBit)
        return QString();
    const quint32 begin = index == 0 ? 0u : ends_[static_cast<std::size_t>(index) - 1] & ~kNullBit;
    return QString(reinterpret_cast<const QChar*>(text_.data() + begin),
                   static_cast<qsizetype>((end & ~kNullBit) - begin));
}

void PoResultRows::shrink()
{
    // Whole rows only; then give back what growing the buffers left over.
    ends_.resize(ends_.size() - ends_.size() % PoResultModel::kColumns);
    if (!ends_.empty())
        text_.resize(ends_.back() & ~kNullBit);
    else
        text_.clear();
    text_.shrink_to_fit();
    ends_.shrink_to_fit();
}

QString PoResultModel::cellText(const QVariant& value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDate: return value.toDate().toString(kDateFormat);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(kDateFormat)
                                        : dt.toString(kDateFormat + QStringLiteral(" HH:mm:ss"));
    }
    default: {
        QString text = value.toString();
        // An empty text that is not NULL stays distinguishable from NULL.
        return text.isNull() ? QStringLiteral("") : text;
    }
    }
}

}  // namespace tolvar
