#include "xls/CellTable.h"

#include <algorithm>

namespace xls {

namespace {

bool isRun(std::uint16_t type)
{
    return type == rt::MulRk || type == rt::MulBlank;
}

// The bytes a cell record needs at least, after which its value can be read.
std::size_t minimumLength(std::uint16_t type)
{
    switch (type) {
    case rt::Blank: return 6;
    case rt::BoolErr: return 8;
    case rt::Rk: return 10;
    case rt::LabelSst: return 10;
    case rt::Label:
    case rt::RString: return 9;
    case rt::Number: return 14;
    case rt::Formula: return 22;
    default: return 6;
    }
}

CellTable::Cell makeCell(Record record)
{
    const ByteView d = record.data;
    if (d.size() < minimumLength(record.type))
        throw Error(ErrorCode::DamagedRecord, record.offset, "cell record " + hex(record.type) + " too short");
    CellTable::Cell cell;
    cell.firstCol = u16(d, field::kCellCol);
    cell.lastCol = cell.firstCol;
    if (isRun(record.type)) {
        cell.lastCol = u16(d, d.size() - 2);
        const std::size_t each = field::runEntrySize(record.type);
        if (cell.lastCol < cell.firstCol || (d.size() - 6) != (cell.lastCol - cell.firstCol + 1u) * each)
            throw Error(ErrorCode::DamagedRecord, record.offset,
                        "MULRK/MULBLANK column range does not match its length");
    }
    cell.record = std::move(record);
    return cell;
}

// The part of a MULRK/MULBLANK run from column `from` to `to`, as a run or, for one column, a
// single RK or BLANK record.
CellTable::Cell runPart(const CellTable::Cell& run, std::uint16_t from, std::uint16_t to)
{
    const bool rk = run.record.type == rt::MulRk;
    const std::size_t each = field::runEntrySize(run.record.type);
    const Bytes& data = run.record.data;
    Record r;
    r.data.reserve(6 + (to - from + 1u) * each);
    put16(r.data, u16(data, field::kCellRow));
    put16(r.data, from);
    const auto begin = data.begin() + static_cast<std::ptrdiff_t>(field::kRunEntries + (from - run.firstCol) * each);
    const auto end = data.begin() + static_cast<std::ptrdiff_t>(field::kRunEntries + (to - run.firstCol + 1) * each);
    r.data.insert(r.data.end(), begin, end);
    if (from == to) {
        r.type = rk ? rt::Rk : rt::Blank;
    } else {
        r.type = run.record.type;
        put16(r.data, to);
    }
    r.offset = run.record.offset;
    return makeCell(std::move(r));
}

// A run without its first column, in place: the entries after it move up.
void dropFirstColumn(CellTable::Cell& run)
{
    const std::size_t each = field::runEntrySize(run.record.type);
    Bytes& d = run.record.data;
    d.erase(d.begin() + field::kRunEntries, d.begin() + field::kRunEntries + static_cast<std::ptrdiff_t>(each));
    ++run.firstCol;
    set16(d, field::kCellCol, run.firstCol);
}

// A run cut short after column `last`, in place.
void keepUpTo(CellTable::Cell& run, std::uint16_t last)
{
    const std::size_t each = field::runEntrySize(run.record.type);
    Bytes& d = run.record.data;
    d.resize(field::kRunEntries + (last - run.firstCol + 1u) * each);
    put16(d, last);
    run.lastCol = last;
}

}  // namespace

std::string cellName(std::uint16_t row, std::uint16_t col)
{
    std::string letters;
    for (std::uint32_t c = col + 1u; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1u);
}

bool isCellRecord(std::uint16_t type)
{
    switch (type) {
    case rt::Blank:
    case rt::Number:
    case rt::Rk:
    case rt::LabelSst:
    case rt::Label:
    case rt::BoolErr:
    case rt::Formula:
    case rt::MulRk:
    case rt::MulBlank:
    case rt::RString: return true;
    default: return false;
    }
}

bool isFormulaFollower(std::uint16_t type)
{
    return type == rt::String || type == rt::ShrFmla || type == rt::Array || type == rt::Table;
}

// ---------------------------------------------------------------------------------------------
// Placing records
// ---------------------------------------------------------------------------------------------

void CellTable::putRow(Bytes rowData)
{
    if (rowData.size() < 16)
        throw Error(ErrorCode::DamagedRecord, "ROW record too short");
    rows_[u16(rowData, field::kRowRow)].rowRecord = std::move(rowData);
}

CellTable::Cell& CellTable::place(Record record, Overlap overlap)
{
    Cell cell = makeCell(std::move(record));
    const std::uint16_t rowNumber = u16(cell.record.data, field::kCellRow);
    return placeIn(rows_[rowNumber].cells, rowNumber, std::move(cell), overlap);
}

CellTable::Cell& CellTable::placeIn(std::vector<Cell>& cells, std::uint16_t rowNumber, Cell cell, Overlap overlap)
{
    // A run of one cell is that cell's own record, as the format wants it.
    if (isRun(cell.record.type) && cell.firstCol == cell.lastCol)
        cell = runPart(cell, cell.firstCol, cell.firstCol);
    // Cells in column order, as most writers store them, go to the end.
    if (cells.empty() || cells.back().lastCol < cell.firstCol) {
        cells.push_back(std::move(cell));
        return cells.back();
    }
    // The records that hold any of the new cell's columns lie next to each other.
    auto begin = std::upper_bound(cells.begin(), cells.end(), cell.firstCol,
                                  [](std::uint16_t col, const Cell& c) { return col < c.firstCol; });
    if (begin != cells.begin() && std::prev(begin)->lastCol >= cell.firstCol)
        --begin;
    auto end = begin;
    while (end != cells.end() && end->firstCol <= cell.lastCol)
        ++end;
    if (begin != end && overlap == Overlap::Refuse) {
        const std::uint16_t col = std::max(cell.firstCol, begin->firstCol);
        throw Error(ErrorCode::Unsupported, cell.record.offset,
                    "cell " + cellName(rowNumber, col) +
                        " is held by two records: open the template in a spreadsheet program and save it again");
    }
    // The usual write: the cell takes over the one record that held its address.
    if (begin != end && std::next(begin) == end && begin->firstCol == cell.firstCol && begin->lastCol == cell.lastCol) {
        *begin = std::move(cell);
        return *begin;
    }
    // A cell inside one run, the usual write into a template's formatted rows: the run is cut
    // where the cell lands, in place, and only a part to its right is made anew.
    if (std::next(begin) == end && isRun(begin->record.type) && cell.firstCol == cell.lastCol) {
        const std::uint16_t col = cell.firstCol, first = begin->firstCol, last = begin->lastCol;
        const auto at = begin - cells.begin();
        std::optional<Cell> right;
        if (col < last && col > first)
            right = runPart(*begin, static_cast<std::uint16_t>(col + 1), last);
        // What stays of the run in its place; a part of one column is that cell's own record, as
        // the format wants it.
        if (col == first && last - first == 1)
            *begin = runPart(*begin, last, last);
        else if (col == first)
            dropFirstColumn(*begin);
        else if (col - first == 1)
            *begin = runPart(*begin, first, first);
        else
            keepUpTo(*begin, static_cast<std::uint16_t>(col - 1));
        const auto placedAt = col == first ? at : at + 1;
        cells.insert(cells.begin() + placedAt, std::move(cell));
        if (right)
            cells.insert(cells.begin() + placedAt + 1, std::move(*right));
        return cells[static_cast<std::size_t>(placedAt)];
    }
    // What is left of runs around the new cell stays, cut to the columns outside it.
    std::vector<Cell> placed;
    placed.reserve(3);
    if (begin != end && isRun(begin->record.type) && begin->firstCol < cell.firstCol)
        placed.push_back(runPart(*begin, begin->firstCol, static_cast<std::uint16_t>(cell.firstCol - 1)));
    const std::size_t at = static_cast<std::size_t>(begin - cells.begin()) + placed.size();
    placed.push_back(std::move(cell));
    if (begin != end && isRun(std::prev(end)->record.type) && std::prev(end)->lastCol > placed.back().lastCol)
        placed.push_back(
            runPart(*std::prev(end), static_cast<std::uint16_t>(placed.back().lastCol + 1), std::prev(end)->lastCol));
    const auto gone = cells.erase(begin, end);
    cells.insert(gone, std::make_move_iterator(placed.begin()), std::make_move_iterator(placed.end()));
    return cells[at];
}

void CellTable::write(Record record, const std::function<Bytes(std::uint16_t row)>& makeRow)
{
    const std::uint16_t row = u16(record.data, field::kCellRow), col = u16(record.data, field::kCellCol);
    Row& r = rows_[row];
    if (!r.rowRecord)
        r.rowRecord = makeRow(row);
    placeIn(r.cells, row, makeCell(std::move(record)), Overlap::Replace);
    coverColumn(*r.rowRecord, col);
}

void CellTable::coverColumn(Bytes& r, std::uint16_t col)
{
    const std::uint16_t colMic = u16(r, field::kRowColMic), colMac = u16(r, field::kRowColMac);
    const auto next = static_cast<std::uint16_t>(col + 1);
    // colMic == colMac: the row had no cells.
    set16(r, field::kRowColMic, colMic == colMac ? col : std::min(colMic, col));
    set16(r, field::kRowColMac, colMic == colMac ? next : std::max(colMac, next));
}

// ---------------------------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------------------------

const CellTable::Cell* CellTable::find(std::uint16_t row, std::uint16_t col) const
{
    const auto it = rows_.find(row);
    if (it == rows_.end())
        return nullptr;
    const std::vector<Cell>& cells = it->second.cells;
    auto after = std::upper_bound(cells.begin(), cells.end(), col,
                                  [](std::uint16_t c, const Cell& cell) { return c < cell.firstCol; });
    if (after == cells.begin())
        return nullptr;
    const Cell& c = *--after;
    return col <= c.lastCol ? &c : nullptr;
}

const std::optional<Bytes>& CellTable::rowRecord(std::uint16_t row) const
{
    static const std::optional<Bytes> none;
    const auto it = rows_.find(row);
    return it == rows_.end() ? none : it->second.rowRecord;
}

std::optional<std::uint16_t> CellTable::Cell::firstXfFrom(std::size_t count) const
{
    if (!isRun(record.type))
        return xfAt(firstCol) < count ? std::nullopt : std::optional<std::uint16_t>(firstCol);
    const std::size_t each = field::runEntrySize(record.type);
    std::size_t at = field::kRunEntries;
    for (std::uint32_t col = firstCol; col <= lastCol; ++col, at += each)
        if (u16(record.data, at) >= count)
            return static_cast<std::uint16_t>(col);
    return std::nullopt;
}

std::optional<std::uint16_t> CellTable::xfAt(std::uint16_t row, std::uint16_t col) const
{
    const Cell* c = find(row, col);
    if (!c)
        return std::nullopt;
    return c->xfAt(col);
}

std::size_t CellTable::labelSstCount() const
{
    std::size_t n = 0;
    for (const auto& [row, data] : rows_)
        for (const Cell& c : data.cells)
            n += c.record.type == rt::LabelSst;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Writing the table
// ---------------------------------------------------------------------------------------------

std::vector<std::vector<std::uint16_t>> CellTable::rowBlocks() const
{
    // Row blocks as Excel makes them: each spans 32 rows from its first row.
    std::vector<std::vector<std::uint16_t>> blocks;
    for (const auto& [row, data] : rows_) {
        if (!data.rowRecord && data.cells.empty())
            continue;
        if (blocks.empty() || row >= blocks.back().front() + 32u)
            blocks.emplace_back();
        blocks.back().push_back(row);
    }
    return blocks;
}

std::size_t CellTable::blockCount() const
{
    return rowBlocks().size();
}

CellTable::Layout CellTable::serialize(Bytes& out) const
{
    const std::vector<std::vector<std::uint16_t>> blocks = rowBlocks();

    Layout layout;
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    for (const std::vector<std::uint16_t>& rows : blocks) {
        const std::size_t blockAt = out.size();
        std::size_t firstRowRecordEnd = none;
        for (std::uint16_t row : rows)
            if (const auto& rr = rows_.at(row).rowRecord) {
                appendRecord(out, rt::Row, *rr);
                if (firstRowRecordEnd == none)
                    firstRowRecordEnd = out.size();
            }
        std::vector<std::size_t> firstCellAt;
        for (std::uint16_t row : rows) {
            const Row& data = rows_.at(row);
            firstCellAt.push_back(data.cells.empty() ? none : out.size());
            for (const Cell& c : data.cells) {
                appendRecord(out, c.record.type, c.record.data);
                for (const Record& f : c.followers)
                    appendRecord(out, f.type, f.data);
            }
        }
        // DBCELL: back to the block's first record, then for each ROW record the offset of its
        // row's first cell from the previous reference (the end of the first ROW record at
        // first). A row without cells takes the next cell after it, or the DBCELL itself.
        const std::size_t dbcellAt = out.size();
        Bytes d;
        put32(d, static_cast<std::uint32_t>(dbcellAt - blockAt));
        std::size_t reference = firstRowRecordEnd == none ? blockAt : firstRowRecordEnd;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (!rows_.at(rows[k]).rowRecord)
                continue;
            std::size_t at = dbcellAt;
            for (std::size_t j = k; j < rows.size(); ++j)
                if (firstCellAt[j] != none) {
                    at = firstCellAt[j];
                    break;
                }
            put16(d, static_cast<std::uint16_t>(at - reference));
            reference = at;
        }
        layout.dbcells.push_back(static_cast<std::uint32_t>(dbcellAt));
        appendRecord(out, rt::DbCell, d);
    }
    if (!blocks.empty()) {
        layout.rwMic = blocks.front().front();
        layout.rwMac = blocks.back().back() + 1u;
    }
    return layout;
}

}  // namespace xls
