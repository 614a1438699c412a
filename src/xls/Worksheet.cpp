#include "xls/Worksheet.h"

#include <algorithm>

namespace xls {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t findType(const std::vector<Record>& records, std::uint16_t type)
{
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].type == type)
            return i;
    return kNone;
}

// The records Excel writes before the cell table: calculation settings, page setup, protection,
// the default column width, COLINFO and DIMENSIONS. The table goes right after the last of them, so
// that a reader which applies column formats in stream order meets the columns before the cells.
bool precedesTable(std::uint16_t type)
{
    switch (type) {
    case rt::Index:
    case 0x000D:  // CALCMODE
    case rt::CalcCount:
    case 0x000F:  // REFMODE
    case 0x0011:  // ITERATION
    case 0x0010:  // DELTA
    case 0x005F:  // SAVERECALC
    case 0x002A:  // PRINTHEADERS
    case 0x002B:  // PRINTGRIDLINES
    case 0x0082:  // GRIDSET
    case 0x0080:  // GUTS
    case rt::DefaultRowHeight:
    case 0x0081:  // WSBOOL
    case 0x001B:  // HORIZONTALPAGEBREAKS
    case 0x001A:  // VERTICALPAGEBREAKS
    case 0x0014:  // HEADER
    case 0x0015:  // FOOTER
    case 0x0083:  // HCENTER
    case 0x0084:  // VCENTER
    case 0x0026:  // LEFTMARGIN
    case 0x0027:  // RIGHTMARGIN
    case 0x0028:  // TOPMARGIN
    case 0x0029:  // BOTTOMMARGIN
    case 0x004D:  // PLS
    case 0x00A1:  // SETUP
    case 0x089C:  // HEADERFOOTER
    case 0x00E9:  // BACKGROUND
    case 0x0012:  // PROTECT
    case 0x00DD:  // SCENPROTECT
    case 0x0063:  // OBJPROTECT
    case 0x0013:  // PASSWORD
    case 0x009B:  // FILTERMODE
    case 0x009D:  // AUTOFILTERINFO
    case 0x009E:  // AUTOFILTER
    case 0x0090:  // SORT
    case rt::DefColWidth:
    case rt::ColInfo:
    case rt::Dimensions: return true;
    default: return false;
    }
}

// The records that come after the cell table in a worksheet's grammar: the drawings and their
// objects, notes, the window settings and everything after them. Excel 2007 and later write a
// second HEADERFOOTER and PLV after WINDOW2: page-setup records past this point are not the ones
// before the table. (MERGECELLS is not among them: the Ruby spreadsheet gem writes merges, then the
// page setup and the column widths again, and the table belongs after those widths.)
bool followsTable(std::uint16_t type)
{
    switch (type) {
    case rt::MsoDrawing:
    case rt::Obj:
    case rt::Note:
    case 0x01B6:  // TXO
    case rt::Window2: return true;
    default: return false;
    }
}

}  // namespace

Worksheet::Worksheet(std::vector<Record> substream)
{
    if (substream.empty() || substream.front().type != rt::Bof)
        throw Error(ErrorCode::DamagedRecord, "worksheet does not start with BOF");
    split(std::move(substream));
}

// ---------------------------------------------------------------------------------------------
// Reading: the cell table out of the substream, wherever its records lie
// ---------------------------------------------------------------------------------------------

void Worksheet::split(std::vector<Record> substream)
{
    std::size_t firstTableRecord = kNone;  // where, among the other records, the table stood
    CellTable::Cell* lastCell = nullptr;   // the cell that followers and CONTINUEs attach to
    int depth = 0;
    for (Record& r : substream) {
        const std::uint16_t t = r.type;
        // Records of an embedded chart's substream are the chart's, whatever their type.
        const bool own = depth == 1 && t != rt::Bof;
        if (t == rt::Bof)
            ++depth;
        else if (t == rt::Eof)
            --depth;
        if (own && t == rt::Dimensions && r.data.size() < 12)
            throw Error(ErrorCode::DamagedRecord, r.offset, "DIMENSIONS too short");
        const bool table = own && (t == rt::Row || t == rt::DbCell || isCellRecord(t));
        if (table && firstTableRecord == kNone)
            firstTableRecord = records_.size();
        if (own && t == rt::Row) {
            table_.putRow(std::move(r.data));
            lastCell = nullptr;
        } else if (own && isCellRecord(t)) {
            lastCell = &table_.place(std::move(r), CellTable::Overlap::Refuse);
        } else if (own && t == rt::DbCell) {
            lastCell = nullptr;  // recomputed on save
        } else if (own && lastCell &&
                   (t == rt::Continue || (isFormulaFollower(t) && lastCell->record.type == rt::Formula))) {
            lastCell->followers.push_back(std::move(r));
        } else {
            records_.push_back(std::move(r));
            lastCell = nullptr;
        }
    }
    placeTable(firstTableRecord);
}

// Decides where the table goes: right after the last record Excel writes before it (with that
// record's CONTINUEs), among those before the first record that follows the table; without any,
// where the writer's table began if that is before such a record, else before the first of them
// (or before EOF).
void Worksheet::placeTable(std::size_t firstTableRecord)
{
    std::size_t lastBefore = kNone;
    std::size_t limit = records_.size() - 1;  // the sheet's EOF
    int depth = 0;                            // an embedded chart's records are its own, its page setup included
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const std::uint16_t t = records_[i].type;
        if (t == rt::Bof)
            ++depth;
        else if (t == rt::Eof)
            --depth;
        if (depth != 1)
            continue;
        if (followsTable(t)) {
            limit = i;
            break;
        }
        if (precedesTable(t))
            lastBefore = i;
    }
    if (lastBefore != kNone) {
        tableAt_ = lastBefore + 1;
        while (tableAt_ < limit && records_[tableAt_].type == rt::Continue)
            ++tableAt_;
    } else if (firstTableRecord != kNone && firstTableRecord <= limit) {
        tableAt_ = firstTableRecord;
    } else {
        tableAt_ = limit;
    }
    if (findType(records_, rt::Index) == kNone) {
        records_.insert(records_.begin() + 1, Record{rt::Index, Bytes(field::kIndexDbCells, 0), 0});
        ++tableAt_;
    }
}

// ---------------------------------------------------------------------------------------------
// Cells
// ---------------------------------------------------------------------------------------------

std::optional<std::uint16_t> Worksheet::inheritedXf(std::uint16_t row, std::uint16_t col) const
{
    if (const auto& r = table_.rowRecord(row); r && (u16(*r, field::kRowFlags) & field::kRowHasFormat))
        return static_cast<std::uint16_t>(u16(*r, field::kRowXf) & 0x0FFF);
    for (const Record& r : records_) {
        if (r.type == rt::ColInfo && r.data.size() >= 8 && col >= u16(r.data, field::kColInfoFirst) &&
            col <= u16(r.data, field::kColInfoLast))
            return u16(r.data, field::kColInfoXf);
    }
    return std::nullopt;
}

void Worksheet::requireWritable(const CellTable::Cell* held, std::uint16_t row, std::uint16_t col)
{
    if (!held || held->record.type != rt::Formula)
        return;
    const Bytes& d = held->record.data;
    const bool shared = u16(d, field::kFormulaFlags) & field::kFormulaShared;
    const bool anchor = std::any_of(held->followers.begin(), held->followers.end(), [](const Record& f) {
        return f.type == rt::ShrFmla || f.type == rt::Array || f.type == rt::Table;
    });
    // A formula that is only PtgExp or PtgTbl is a member of a shared, array or table formula.
    const bool member = d.size() > 22 && u16(d, 20) >= 1 && (d[22] == 0x01 || d[22] == 0x02);
    if (shared || anchor || member)
        throw Error(ErrorCode::FormulaCell,
                    "cell " + cellName(row, col) + ", which the form writes: clear the formula there in the template");
}

Bytes Worksheet::newRowRecord(std::uint16_t row) const
{
    std::uint16_t height = 255;
    for (const Record& r : records_)
        if (r.type == rt::DefaultRowHeight && r.data.size() >= 4)
            height = u16(r.data, 2);
    Bytes d;
    put16(d, row);
    put16(d, 0);  // colMic == colMac: no cells yet
    put16(d, 0);
    put16(d, height);
    put16(d, 0);
    put16(d, 0);
    put16(d, 0x0100);  // the flags and XF Excel writes for a plain row
    put16(d, 0x000F);
    return d;
}

// The sheet's own DIMENSIONS: an embedded chart's substream has one of its own, which says how
// much series data the chart holds.
Record* Worksheet::ownDimensions()
{
    if (dimensionsAt_ == kNotLooked) {
        dimensionsAt_ = kNoDimensions;
        int depth = 0;
        for (std::size_t i = 0; i < records_.size(); ++i) {
            const Record& r = records_[i];
            if (r.type == rt::Bof) {
                ++depth;
            } else if (r.type == rt::Eof) {
                --depth;
            } else if (depth == 1 && r.type == rt::Dimensions) {  // at least 12 bytes: split() checks
                dimensionsAt_ = i;
                break;
            }
        }
    }
    return dimensionsAt_ == kNoDimensions ? nullptr : &records_[dimensionsAt_];
}

void Worksheet::extendDimensions(std::uint16_t row, std::uint16_t col, bool firstCell)
{
    Record* dimensions = ownDimensions();
    if (!dimensions)
        return;
    Bytes& d = dimensions->data;
    // A sheet without cells has DIMENSIONS 0..0: the first cell sets where it starts.
    if (firstCell && u32(d, field::kDimRowMac) == 0) {
        set32(d, field::kDimRowMic, row);
        set16(d, field::kDimColMic, col);
    }
    set32(d, field::kDimRowMic, std::min<std::uint32_t>(u32(d, field::kDimRowMic), row));
    set32(d, field::kDimRowMac, std::max<std::uint32_t>(u32(d, field::kDimRowMac), row + 1u));
    set16(d, field::kDimColMic, std::min<std::uint16_t>(u16(d, field::kDimColMic), col));
    set16(d, field::kDimColMac,
          std::max<std::uint16_t>(u16(d, field::kDimColMac), static_cast<std::uint16_t>(col + 1)));
}

void Worksheet::setCell(std::uint16_t row, std::uint16_t col, Record record)
{
    const bool firstCell = table_.empty();
    table_.write(std::move(record), [this](std::uint16_t r) { return newRowRecord(r); });
    extendDimensions(row, col, firstCell);
}

std::vector<CellRange> Worksheet::mergedRanges() const
{
    std::vector<CellRange> ranges;
    for (const Record& r : records_) {
        if (r.type != rt::MergeCells || r.data.size() < 2)
            continue;
        const std::size_t count = std::min<std::size_t>(u16(r.data, 0), (r.data.size() - 2) / 8);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = 2 + 8 * k;
            ranges.push_back({u16(r.data, at), u16(r.data, at + 2), u16(r.data, at + 4), u16(r.data, at + 6)});
        }
    }
    return ranges;
}

bool Worksheet::hasEmbeddedCharts() const
{
    return std::any_of(records_.begin() + 1, records_.end(), [](const Record& r) { return r.type == rt::Bof; });
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

void Worksheet::serialize(Bytes& out) const
{
    std::size_t indexAt = kNone;    // offset of the INDEX record's data in the stream
    std::size_t defColWidthAt = 0;  // stream offset of DEFCOLWIDTH
    CellTable::Layout table;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (i == tableAt_)
            table = table_.serialize(out);
        const Record& r = records_[i];
        if (r.type == rt::Index) {
            // Its fixed fields and one offset per row block, filled in once the table is laid out.
            indexAt = out.size() + 4;
            appendRecord(out, rt::Index, Bytes(field::kIndexDbCells + 4 * table_.blockCount(), 0));
            continue;
        }
        if (r.type == rt::DefColWidth)
            defColWidthAt = out.size();
        appendRecord(out, r.type, r.data);
    }
    if (indexAt != kNone) {
        set32(out, indexAt + field::kIndexRowMic, table.rwMic);
        set32(out, indexAt + field::kIndexRowMac, table.rwMac);
        set32(out, indexAt + field::kIndexDefColWidth, static_cast<std::uint32_t>(defColWidthAt));
        for (std::size_t i = 0; i < table.dbcells.size(); ++i)
            set32(out, indexAt + field::kIndexDbCells + 4 * i, table.dbcells[i]);
    }
}

}  // namespace xls
