// PoResultModel: the result table of the last search, ten columns in the order of the search
// statement, shown read-only by the grid. Cells are kept as display text (dates as yyyy/MM/dd), a
// database NULL as a null text that shows as an empty cell; about 240 bytes a row beyond the text.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <vector>

namespace tolvar {

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

    // Replaces every row: rows holds kColumns cells per row, row after row.
    void replaceRows(std::vector<QString> cells);
    // The display text of a database value.
    static QString cellText(const QVariant& value);

private:
    std::vector<QString> cells_;
};

}  // namespace tolvar
