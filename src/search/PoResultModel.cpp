#include "search/PoResultModel.h"

#include "util/DateFormat.h"
#include "util/Utf8Check.h"

#include <QDate>
#include <QDateTime>
#include <QStringEncoder>
#include <algorithm>

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

std::string& PoResultRows::room(std::size_t bytes)
{
    if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < bytes) {
        chunks_.emplace_back();
        chunks_.back().reserve(std::max(bytes, kChunk));
        chunkStarts_.push_back(cellCount());
    }
    return chunks_.back();
}

void PoResultRows::appendText(QStringView text, bool isNull)
{
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const auto most = static_cast<std::size_t>(encoder.requiredSpace(text.size()));
    std::string& chunk = room(most);
    const std::size_t at = chunk.size();
    chunk.resize(at + most);
    char* begin = chunk.data() + at;
    const char* end = encoder.appendToBuffer(begin, text);
    chunk.resize(at + static_cast<std::size_t>(end - begin));
    ends_.push_back(static_cast<quint32>(chunk.size()) | (isNull ? kNullBit : 0u));
}

bool PoResultRows::appendUtf8(QByteArrayView text)
{
    if (isUtf8(text)) {
        std::string& chunk = room(static_cast<std::size_t>(text.size()));
        chunk.append(text.data(), static_cast<std::size_t>(text.size()));
        ends_.push_back(static_cast<quint32>(chunk.size()));
        return true;
    }
    // Kept as it will be shown: each bad or cut sequence a replacement character.
    appendText(QString::fromUtf8(text), false);
    return false;
}

void PoResultRows::dropLast()
{
    ends_.pop_back();
    const qsizetype count = cellCount();
    // The chunk the cell before lies in keeps up to its end; any later chunk goes.
    while (chunkStarts_.size() > 1 && chunkStarts_.back() >= count) {
        chunks_.pop_back();
        chunkStarts_.pop_back();
    }
    if (!chunks_.empty())
        chunks_.back().resize(count > chunkStarts_.back() ? ends_.back() & ~kNullBit : 0);
}

std::size_t PoResultRows::chunkOf(qsizetype cell) const
{
    return static_cast<std::size_t>(std::upper_bound(chunkStarts_.begin(), chunkStarts_.end(), cell) -
                                    chunkStarts_.begin()) -
           1;
}

QString PoResultRows::cell(qsizetype index) const
{
    const quint32 end = ends_[static_cast<std::size_t>(index)];
    if (end & kNullBit)
        return QString();
    const std::size_t chunk = chunkOf(index);
    const quint32 begin = index == chunkStarts_[chunk] ? 0u : ends_[static_cast<std::size_t>(index) - 1] & ~kNullBit;
    if (end == begin)
        return QStringLiteral("");  // empty, and not NULL
    return QString::fromUtf8(chunks_[chunk].data() + begin, static_cast<qsizetype>(end - begin));
}

void PoResultRows::shrink()
{
    // Whole rows only.
    while (ends_.size() % PoResultModel::kColumns != 0)
        dropLast();
    // The last chunk and the ends give back what they have left over, when it is much: the
    // chunks before it are full.
    if (!chunks_.empty())
        chunks_.back().shrink_to_fit();
    if (ends_.capacity() - ends_.size() > ends_.size() / 4)
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
