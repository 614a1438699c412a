// Worksheet: one worksheet substream. The records before and after the cell table are kept as
// they were; the cell table is held by row, so that a cell can be written (a MULRK or MULBLANK run
// split around it) and the ROW, DBCELL, INDEX and DIMENSIONS records stay right on save.
#pragma once

#include "xls/Record.h"

#include <map>
#include <optional>
#include <vector>

namespace xls {

class Worksheet {
public:
    explicit Worksheet(std::vector<Record> records);

    // A cell record as it stands in the table, with the records that belong to it (STRING,
    // SHRFMLA, ARRAY, TABLE, CONTINUE).
    struct Cell {
        std::uint16_t firstCol = 0;
        std::uint16_t lastCol = 0;
        Record record;
        std::vector<Record> followers;
    };

    // The XF of the cell at (row, col) if a record holds it.
    std::optional<std::uint16_t> cellXf(std::uint16_t row, std::uint16_t col) const;
    // The XF a new cell there would take: its row's (when the row is formatted), its column's, or
    // nothing (the default).
    std::optional<std::uint16_t> inheritedXf(std::uint16_t row, std::uint16_t col) const;
    // Throws when the cell belongs to a shared or array formula, which other cells depend on.
    void requireWritable(std::uint16_t row, std::uint16_t col) const;
    // Puts the record in place of whatever holds (row, col); the record's own row and column
    // fields must be set.
    void setCell(std::uint16_t row, std::uint16_t col, Record record);
    // Removes any record for the cell (it becomes absent).
    void clearCell(std::uint16_t row, std::uint16_t col);

    // The substream with the cell table, DBCELL and INDEX laid out from streamOffset.
    Bytes serialize(std::size_t streamOffset) const;

    // Records outside the cell table, for the workbook's sheet copy and checks.
    std::vector<Record>& head() { return head_; }
    std::vector<Record>& tail() { return tail_; }
    const std::vector<Record>& head() const { return head_; }
    const std::vector<Record>& tail() const { return tail_; }
    std::size_t labelSstCount() const;
    // Every cell record and its followers, for edits that keep their size (formula tokens).
    template <typename F>
    void forEachCellRecord(F&& f)
    {
        for (auto& [row, data] : rows_)
            for (Cell& c : data.cells) {
                f(c.record);
                for (Record& r : c.followers)
                    f(r);
            }
    }
    bool hasEmbeddedCharts() const;

private:
    struct RowData {
        std::optional<Bytes> rowRecord;
        std::vector<Cell> cells;  // ascending columns, runs not overlapping
    };
    void splitAround(RowData& row, std::uint16_t col);
    void extendDimensions(std::uint16_t row, std::uint16_t col);
    Bytes newRowRecord(std::uint16_t row) const;

    std::vector<Record> head_;
    std::map<std::uint16_t, RowData> rows_;
    std::vector<Record> tail_;
    bool indexed_ = false;  // the sheet had INDEX/DBCELL records, so it gets them again
};

bool isCellRecord(std::uint16_t type);

}  // namespace xls
