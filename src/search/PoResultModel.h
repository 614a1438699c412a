// PoResultModel: the result table of the last search, ten columns in the order of the search
// statement, shown read-only by the grid. Cells are kept as display text (dates as yyyy/MM/dd), a
// database NULL as a null text that shows as an empty cell. The cells' text lies in buffers of a
// megabyte, in UTF-8 as the databases hand it over, so a row costs 40 bytes beyond its text, only
// the cells shown are ever decoded, and a result of hundreds of thousands of rows is never copied
// to grow.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <string>
#include <vector>

namespace tolvar {

// The cells of a result, row after row, as they are read.
class PoResultRows {
public:
    void append(const QVariant& value);
    void appendText(QStringView text, bool isNull);
    // A text in UTF-8, shown as QString::fromUtf8 decodes it. False when the bytes are not UTF-8
    // throughout; the cell is still added, with replacement characters.
    bool appendUtf8(QByteArrayView text);
    // Takes the last cell back.
    void dropLast();
    qsizetype cellCount() const { return static_cast<qsizetype>(ends_.size()); }
    QString cell(qsizetype index) const;
    void shrink();

private:
    static constexpr quint32 kNullBit = 0x80000000u;
    static constexpr std::size_t kChunk = 1 << 20;
    // The last chunk, with room for `bytes` more; a new one when it lacks them.
    std::string& room(std::size_t bytes);
    std::size_t chunkOf(qsizetype cell) const;

    std::vector<std::string> chunks_;     // UTF-8; a cell's text lies within one chunk
    std::vector<qsizetype> chunkStarts_;  // the first cell of each chunk
    std::vector<quint32> ends_;           // end of each cell in its chunk; the high bit marks a NULL
};

class PoResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 10;

    explicit PoResultModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The text of a cell, the empty text for a null or a row that does not exist.
    QString text(int row, int column) const;
    // The grid's initial column width in twips.
    static int initialWidthTwips(int column);

    // Replaces every row: kColumns cells per row, row after row.
    void replaceRows(PoResultRows rows);
    // The display text of a database value.
    static QString cellText(const QVariant& value);

private:
    PoResultRows rows_;
};

}  // namespace tolvar
