#include "xls/Worksheet.h"

#include <algorithm>

namespace xls {

namespace {

bool isFollower(std::uint16_t type)
{
    return type == rt::String || type == rt::ShrFmla || type == rt::Array || type == rt::Table || type == rt::Continue;
}

bool isMulti(std::uint16_t type)
{
    return type == rt::MulRk || type == rt::MulBlank;
}

Worksheet::Cell makeCell(Record record)
{
    Worksheet::Cell cell;
    const ByteView d = record.data;
    cell.firstCol = u16(d, 2);
    if (isMulti(record.type)) {
        if (d.size() < 6)
            throw Error(ErrorCode::DamagedRecord, record.offset, "MULRK/MULBLANK too short");
        cell.lastCol = u16(d, d.size() - 2);
        const std::size_t each = record.type == rt::MulRk ? 6 : 2;
        if (cell.lastCol < cell.firstCol || (d.size() - 6) != (cell.lastCol - cell.firstCol + 1u) * each)
            throw Error(ErrorCode::DamagedRecord, record.offset,
                        "MULRK/MULBLANK column range does not match its length");
    } else {
        cell.lastCol = cell.firstCol;
    }
    cell.record = std::move(record);
    return cell;
}

// The part of a MULRK/MULBLANK run from column `from` to `to`, as a run or a single cell.
Record runPart(const Record& run, std::uint16_t row, std::uint16_t first, std::uint16_t from, std::uint16_t to)
{
    const bool rk = run.type == rt::MulRk;
    const std::size_t each = rk ? 6 : 2;
    Record r;
    put16(r.data, row);
    put16(r.data, from);
    const auto begin = run.data.begin() + static_cast<std::ptrdiff_t>(4 + (from - first) * each);
    const auto end = run.data.begin() + static_cast<std::ptrdiff_t>(4 + (to - first + 1) * each);
    r.data.insert(r.data.end(), begin, end);
    if (from == to) {
        r.type = rk ? rt::Rk : rt::Blank;
    } else {
        r.type = run.type;
        put16(r.data, to);
    }
    return r;
}

}  // namespace

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

Worksheet::Worksheet(std::vector<Record> records)
{
    std::size_t i = 0;
    // Everything up to the first row or cell record; DIMENSIONS comes last before the cell table.
    for (; i < records.size(); ++i) {
        const std::uint16_t t = records[i].type;
        if (t == rt::Row || isCellRecord(t) || t == rt::DbCell)
            break;
        if (t == rt::Index)
            indexed_ = true;
        head_.push_back(std::move(records[i]));
        // A sheet without cells: the table would start right after DIMENSIONS.
        if (t == rt::Dimensions && i + 1 < records.size()) {
            const std::uint16_t next = records[i + 1].type;
            if (next != rt::Row && !isCellRecord(next) && next != rt::DbCell) {
                ++i;
                break;
            }
        }
    }
    Cell* last = nullptr;
    for (; i < records.size(); ++i) {
        Record& r = records[i];
        if (r.type == rt::Row) {
            if (r.data.size() < 16)
                throw Error(ErrorCode::DamagedRecord, r.offset, "ROW record too short");
            rows_[u16(r.data, 0)].rowRecord = r.data;
            last = nullptr;
        } else if (r.type == rt::DbCell) {
            indexed_ = true;
            last = nullptr;
        } else if (isCellRecord(r.type)) {
            if (r.data.size() < 6)
                throw Error(ErrorCode::DamagedRecord, r.offset, "cell record too short");
            auto& cells = rows_[u16(r.data, 0)].cells;
            cells.push_back(makeCell(std::move(r)));
            last = &cells.back();
        } else if (isFollower(r.type) && last) {
            last->followers.push_back(std::move(r));
        } else {
            break;
        }
    }
    for (; i < records.size(); ++i)
        tail_.push_back(std::move(records[i]));
    if (tail_.empty() && rows_.empty()) {
        // No cell table and nothing after it: the table goes after DIMENSIONS, or before WINDOW2
        // or EOF, never after the end of the substream.
        std::size_t split = head_.size();
        for (std::size_t k = 0; k < head_.size(); ++k) {
            const std::uint16_t t = head_[k].type;
            if (t == rt::Dimensions) {
                split = k + 1;
                break;
            }
            if ((t == rt::Window2 || t == rt::Eof) && split == head_.size())
                split = k;
        }
        tail_.assign(std::make_move_iterator(head_.begin() + static_cast<std::ptrdiff_t>(split)),
                     std::make_move_iterator(head_.end()));
        head_.resize(split);
    }
    for (auto& [row, data] : rows_) {
        std::stable_sort(data.cells.begin(), data.cells.end(),
                         [](const Cell& a, const Cell& b) { return a.firstCol < b.firstCol; });
    }
    if (head_.empty() || head_.front().type != rt::Bof)
        throw Error(ErrorCode::DamagedRecord, "worksheet does not start with BOF");
}

std::optional<std::uint16_t> Worksheet::cellXf(std::uint16_t row, std::uint16_t col) const
{
    const auto it = rows_.find(row);
    if (it == rows_.end())
        return std::nullopt;
    for (const Cell& c : it->second.cells) {
        if (col < c.firstCol || col > c.lastCol)
            continue;
        if (c.record.type == rt::MulRk)
            return u16(c.record.data, 4 + (col - c.firstCol) * 6u);
        if (c.record.type == rt::MulBlank)
            return u16(c.record.data, 4 + (col - c.firstCol) * 2u);
        return u16(c.record.data, 4);
    }
    return std::nullopt;
}

std::optional<std::uint16_t> Worksheet::inheritedXf(std::uint16_t row, std::uint16_t col) const
{
    if (const auto it = rows_.find(row); it != rows_.end() && it->second.rowRecord) {
        const Bytes& r = *it->second.rowRecord;
        if (u16(r, 12) & 0x0080)  // fGhostDirty: the row has a format of its own
            return static_cast<std::uint16_t>(u16(r, 14) & 0x0FFF);
    }
    for (const Record& r : head_) {
        if (r.type == rt::ColInfo && r.data.size() >= 8 && col >= u16(r.data, 0) && col <= u16(r.data, 2))
            return u16(r.data, 6);
    }
    return std::nullopt;
}

void Worksheet::requireWritable(std::uint16_t row, std::uint16_t col) const
{
    const auto it = rows_.find(row);
    if (it == rows_.end())
        return;
    for (const Cell& c : it->second.cells) {
        if (col < c.firstCol || col > c.lastCol || c.record.type != rt::Formula)
            continue;
        const bool shared = c.record.data.size() >= 16 && (u16(c.record.data, 14) & 0x0008);
        const bool anchor = std::any_of(c.followers.begin(), c.followers.end(), [](const Record& f) {
            return f.type == rt::ShrFmla || f.type == rt::Array || f.type == rt::Table;
        });
        if (shared || anchor)
            throw Error(ErrorCode::FormulaCell,
                        "row " + std::to_string(row + 1) + ", column " + std::to_string(col + 1));
    }
}

void Worksheet::splitAround(RowData& row, std::uint16_t col)
{
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        Cell& c = row.cells[i];
        if (col < c.firstCol || col > c.lastCol || !isMulti(c.record.type))
            continue;
        const Record run = c.record;
        const std::uint16_t rw = u16(run.data, 0);
        std::vector<Cell> parts;
        if (col > c.firstCol)
            parts.push_back(makeCell(runPart(run, rw, c.firstCol, c.firstCol, static_cast<std::uint16_t>(col - 1))));
        parts.push_back(makeCell(runPart(run, rw, c.firstCol, col, col)));
        if (col < c.lastCol)
            parts.push_back(makeCell(runPart(run, rw, c.firstCol, static_cast<std::uint16_t>(col + 1), c.lastCol)));
        row.cells.erase(row.cells.begin() + static_cast<std::ptrdiff_t>(i));
        row.cells.insert(row.cells.begin() + static_cast<std::ptrdiff_t>(i), parts.begin(), parts.end());
        return;
    }
}

Bytes Worksheet::newRowRecord(std::uint16_t row) const
{
    std::uint16_t height = 255;
    for (const Record& r : head_)
        if (r.type == rt::DefaultRowHeight && r.data.size() >= 4)
            height = u16(r.data, 2);
    Bytes d;
    put16(d, row);
    put16(d, 0);
    put16(d, 0);
    put16(d, height);
    put16(d, 0);
    put16(d, 0);
    put16(d, 0x0100);
    put16(d, 0x000F);
    return d;
}

void Worksheet::extendDimensions(std::uint16_t row, std::uint16_t col)
{
    for (Record& r : head_) {
        if (r.type != rt::Dimensions || r.data.size() < 12)
            continue;
        set32(r.data, 0, std::min<std::uint32_t>(u32(r.data, 0), row));
        set32(r.data, 4, std::max<std::uint32_t>(u32(r.data, 4), row + 1u));
        set16(r.data, 8, std::min<std::uint16_t>(u16(r.data, 8), col));
        set16(r.data, 10, std::max<std::uint16_t>(u16(r.data, 10), static_cast<std::uint16_t>(col + 1)));
    }
}

void Worksheet::setCell(std::uint16_t row, std::uint16_t col, Record record)
{
    const bool empty = rows_.empty();
    RowData& data = rows_[row];
    if (!data.rowRecord)
        data.rowRecord = newRowRecord(row);
    splitAround(data, col);
    auto it = std::find_if(data.cells.begin(), data.cells.end(), [col](const Cell& c) { return c.firstCol == col; });
    Cell cell = makeCell(std::move(record));
    if (it != data.cells.end() && it->lastCol == col) {
        *it = std::move(cell);
    } else {
        const auto at = std::lower_bound(data.cells.begin(), data.cells.end(), col,
                                         [](const Cell& c, std::uint16_t v) { return c.firstCol < v; });
        data.cells.insert(at, std::move(cell));
    }
    Bytes& rr = *data.rowRecord;
    const std::uint16_t colMic = u16(rr, 2), colMac = u16(rr, 4);
    set16(rr, 2, colMic == colMac ? col : std::min(colMic, col));
    set16(rr, 4, colMic == colMac ? static_cast<std::uint16_t>(col + 1) : std::max<std::uint16_t>(colMac, col + 1));
    if (empty) {
        for (Record& r : head_)
            if (r.type == rt::Dimensions && r.data.size() >= 12 && u32(r.data, 4) == 0) {
                set32(r.data, 0, row);
                set16(r.data, 8, col);
            }
    }
    extendDimensions(row, col);
}

void Worksheet::clearCell(std::uint16_t row, std::uint16_t col)
{
    const auto it = rows_.find(row);
    if (it == rows_.end())
        return;
    splitAround(it->second, col);
    auto& cells = it->second.cells;
    cells.erase(std::remove_if(cells.begin(), cells.end(),
                               [col](const Cell& c) { return c.firstCol == col && c.lastCol == col; }),
                cells.end());
}

std::size_t Worksheet::labelSstCount() const
{
    std::size_t n = 0;
    for (const auto& [row, data] : rows_)
        for (const Cell& c : data.cells)
            n += c.record.type == rt::LabelSst;
    return n;
}

bool Worksheet::hasEmbeddedCharts() const
{
    return std::any_of(tail_.begin(), tail_.end(), [](const Record& r) { return r.type == rt::Bof; });
}

Bytes Worksheet::serialize(std::size_t streamOffset) const
{
    // Row blocks as Excel makes them: each spans 32 rows from its first row.
    std::map<std::uint16_t, std::vector<std::uint16_t>> blocks;
    std::uint32_t blockStart = 0;
    bool open = false;
    for (const auto& [row, data] : rows_) {
        if (!data.rowRecord && data.cells.empty())
            continue;
        if (!open || row >= blockStart + 32) {
            blockStart = row;
            open = true;
        }
        blocks[static_cast<std::uint16_t>(blockStart)].push_back(row);
    }

    Bytes out;
    out.reserve(64 * 1024);
    std::size_t indexAt = 0;        // offset of the INDEX record's data in out
    std::size_t defColWidthAt = 0;  // stream offset of DEFCOLWIDTH
    std::vector<std::uint32_t> dbcells;
    for (const Record& r : head_) {
        if (r.type == rt::Index) {
            if (!indexed_)
                continue;
            // Same fixed fields, one offset per row block; filled in below.
            indexAt = out.size() + 4;
            Bytes d(16 + 4 * blocks.size(), 0);
            appendRecord(out, rt::Index, d);
            continue;
        }
        if (r.type == rt::DefColWidth)
            defColWidthAt = streamOffset + out.size();
        appendRecord(out, r.type, r.data);
    }
    for (const auto& [block, rows] : blocks) {
        const std::size_t firstRowAt = out.size();
        std::vector<std::size_t> rowRecordsAt;
        for (std::uint16_t row : rows)
            if (const auto& rr = rows_.at(row).rowRecord) {
                rowRecordsAt.push_back(out.size());
                appendRecord(out, rt::Row, *rr);
            }
        std::vector<std::size_t> firstCellAt;
        for (std::uint16_t row : rows) {
            const RowData& data = rows_.at(row);
            firstCellAt.push_back(data.cells.empty() ? std::size_t(-1) : out.size());
            for (const Cell& c : data.cells) {
                appendRecord(out, c.record.type, c.record.data);
                for (const Record& f : c.followers)
                    appendRecord(out, f.type, f.data);
            }
        }
        if (!indexed_)
            continue;
        // DBCELL: back to the first ROW, then each row's first cell from the previous reference.
        const std::size_t dbcellAt = out.size();
        Bytes d;
        put32(d, static_cast<std::uint32_t>(dbcellAt - firstRowAt));
        std::size_t reference = rowRecordsAt.empty() ? firstRowAt : rowRecordsAt.front() + 20;
        std::size_t k = 0;
        for (std::uint16_t row : rows) {
            const bool hasRow = rows_.at(row).rowRecord.has_value();
            std::size_t at = firstCellAt[k++];
            if (!hasRow)
                continue;
            if (at == std::size_t(-1)) {
                // A row without cells takes the next cell record after it (or the DBCELL itself).
                at = dbcellAt;
                for (std::size_t j = k; j < firstCellAt.size(); ++j)
                    if (firstCellAt[j] != std::size_t(-1)) {
                        at = firstCellAt[j];
                        break;
                    }
            }
            put16(d, static_cast<std::uint16_t>(at - reference));
            reference = at;
        }
        dbcells.push_back(static_cast<std::uint32_t>(streamOffset + dbcellAt));
        appendRecord(out, rt::DbCell, d);
    }
    for (const Record& r : tail_)
        appendRecord(out, r.type, r.data);

    if (indexAt) {
        std::uint32_t rwMic = 0, rwMac = 0;
        if (!blocks.empty()) {
            rwMic = blocks.begin()->second.front();
            rwMac = blocks.rbegin()->second.back() + 1u;
        }
        set32(out, indexAt + 4, rwMic);
        set32(out, indexAt + 8, rwMac);
        set32(out, indexAt + 12, static_cast<std::uint32_t>(defColWidthAt));
        for (std::size_t i = 0; i < dbcells.size(); ++i)
            set32(out, indexAt + 16 + 4 * i, dbcells[i]);
    }
    return out;
}

}  // namespace xls
