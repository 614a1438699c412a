#include "xls/WorkbookScan.h"

#include "xls/CellTable.h"
#include "xls/CompoundFile.h"
#include "xls/SharedStrings.h"
#include "xls/Text.h"

#include <algorithm>

namespace xls {

namespace {

// A record seen in place, without copying its data.
struct View {
    std::uint16_t type = 0;
    ByteView data;
    std::size_t offset = 0;
};

// Walks the records of a stream from an offset; next() is false past the end. A record of type
// and length 0 is the padding after the last substream only between substreams (the callers know
// where they are); inside one it is a record like any other, as the engine keeps it.
class Cursor {
public:
    Cursor(ByteView stream, std::size_t at) : stream_(stream), at_(at) {}
    bool next(View& v)
    {
        if (at_ + 4 > stream_.size())
            return false;
        v.type = u16(stream_, at_);
        const std::uint16_t length = u16(stream_, at_ + 2);
        requireRange(stream_, at_ + 4, length);
        v.data = stream_.subspan(at_ + 4, length);
        v.offset = at_;
        at_ += 4 + length;
        return true;
    }
    std::size_t at() const { return at_; }

private:
    ByteView stream_;
    std::size_t at_;
};

Record copyOf(const View& v)
{
    return Record{v.type, Bytes(v.data.begin(), v.data.end()), v.offset};
}

struct Bound {
    std::uint32_t offset;
    std::u16string name;
    bool worksheet;
};

// The globals: the sheets' BOUNDSHEET records and the shared strings. Returns where they end.
std::size_t readGlobals(ByteView stream, std::vector<Bound>& bounds, SharedStrings& strings)
{
    Cursor c(stream, 0);
    View v;
    bool more = c.next(v);
    while (more && v.type != rt::Eof) {
        if (v.type == rt::BoundSheet) {
            requireRange(v.data, 0, field::kSheetName + 1);
            bounds.push_back({u32(v.data, field::kSheetOffset),
                              readChars(v.data, field::kSheetName + 1, v.data[field::kSheetNameLength],
                                        v.data[field::kSheetName] & 0x01),
                              v.data[field::kSheetType] == 0});
        }
        if (v.type == rt::Sst) {
            std::vector<Record> chain{copyOf(v)};
            while ((more = c.next(v)) && v.type == rt::Continue)
                chain.push_back(copyOf(v));
            strings = SharedStrings(std::move(chain));
            continue;
        }
        more = c.next(v);
    }
    if (!more)
        throw Error(ErrorCode::DamagedRecord, "the workbook globals have no EOF");
    return c.at();
}

// The stream offsets of the top-level BOF records after the globals, in order.
std::vector<std::size_t> substreams(ByteView stream, std::size_t from)
{
    std::vector<std::size_t> starts;
    Cursor c(stream, from);
    View v;
    int depth = 0;
    while (c.next(v)) {
        if (v.type == 0 && v.data.empty() && depth == 0)
            break;  // the padding after the last substream
        if (v.type == rt::Bof && depth++ == 0)
            starts.push_back(v.offset);
        else if (v.type == rt::Eof && depth > 0)
            --depth;
    }
    return starts;
}

// The cells of one worksheet substream, from its BOF, by address.
// end: where the next substream starts, or the stream's end.
void readSheet(ByteView stream, std::size_t start, std::size_t end, WorkbookScan& scan, WorkbookScan::Sheet& sheet)
{
    SheetCells cells(stream, start, scan.sstStrings, scan.texts);
    // Room for as many cells as the substream could hold (a cell of a MULBLANK run takes two
    // bytes), up to a million: memory reserved and never written costs next to nothing, while
    // growing the table copies it each time.
    sheet.cells.reserve(std::min<std::size_t>((end - start) / 2, 1u << 20));
    WorkbookScan::Cell c;
    while (cells.next(c.key, c.reading))
        sheet.cells.push_back(c);
    scan.labelSstCells += cells.labelSstCells();
    // Of two records for one address the later one counts. A table in Excel's order is sorted.
    auto byKey = [](const WorkbookScan::Cell& a, const WorkbookScan::Cell& b) { return a.key < b.key; };
    if (!std::is_sorted(sheet.cells.begin(), sheet.cells.end(), byKey))
        std::stable_sort(sheet.cells.begin(), sheet.cells.end(), byKey);
    const auto twice =
        std::adjacent_find(sheet.cells.begin(), sheet.cells.end(),
                           [](const WorkbookScan::Cell& a, const WorkbookScan::Cell& b) { return a.key == b.key; });
    if (twice == sheet.cells.end())
        return;
    std::vector<WorkbookScan::Cell> unique;
    unique.reserve(sheet.cells.size());
    for (WorkbookScan::Cell& cell : sheet.cells) {
        if (!unique.empty() && unique.back().key == cell.key) {
            if (sheet.heldTwice.empty() || sheet.heldTwice.back() != cell.key)
                sheet.heldTwice.push_back(cell.key);
            unique.back() = cell;
        } else {
            unique.push_back(cell);
        }
    }
    sheet.cells = std::move(unique);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// One sheet's cells, as stored
// ---------------------------------------------------------------------------------------------

SheetCells::SheetCells(ByteView stream, std::size_t bof, std::size_t sharedStrings, Texts& texts)
    : stream_(stream), at_(bof), sharedStrings_(sharedStrings), texts_(texts)
{
}

// Reads on to the next cell record of the sheet (its own, not an embedded chart's) and decodes it.
bool SheetCells::nextRecord()
{
    Cursor c(stream_, at_);
    View v;
    bool more = c.next(v);
    while (more) {
        if (v.type == rt::Bof)
            ++depth_;
        else if (v.type == rt::Eof && --depth_ == 0)
            break;
        if (depth_ != 1 || !isCellRecord(v.type)) {
            windowSeen_ = windowSeen_ || (depth_ == 1 && v.type == rt::Window2);
            more = c.next(v);
            continue;
        }
        cellAfterWindow_ = cellAfterWindow_ || windowSeen_;
        const View cell = v;
        // A FORMULA with a text result has its STRING after it (past SHRFMLA, ARRAY or TABLE).
        ByteView stringResult;
        std::size_t after = c.at();
        while ((more = c.next(v)) && cell.type == rt::Formula &&
               (isFormulaFollower(v.type) || v.type == rt::Continue)) {
            if (v.type == rt::String)
                stringResult = v.data;
            after = c.at();
        }
        at_ = after;
        if (cell.data.size() < 6)
            throw Error(ErrorCode::DamagedRecord, cell.offset, "cell record too short");
        labelSst_ += cell.type == rt::LabelSst;
        row_ = u16(cell.data, field::kCellRow);
        pending_.clear();
        taken_ = 0;
        readCells(cell.type, cell.data, stringResult, sharedStrings_, texts_, pending_);
        return true;
    }
    at_ = stream_.size();
    return false;
}

WorkbookScan WorkbookScan::read(ByteView file, Offsets offsets, const EachSheet& each)
{
    const CompoundFile cf = CompoundFile::parse(file);
    const int stream = cf.findRootStream(u"Workbook");
    if (stream < 0)
        throw Error(ErrorCode::NoWorkbookStream, "");
    return fromStream(cf.stream(stream), offsets, each);
}

WorkbookScan WorkbookScan::fromStream(ByteView stream, Offsets offsets, const EachSheet& each)
{
    WorkbookScan scan;
    SharedStrings strings;
    std::vector<Bound> bounds;
    const std::size_t globalsEnd = readGlobals(stream, bounds, strings);
    scan.sstTotal = strings.statedTotal();
    scan.sstUnique = strings.statedUnique();
    scan.sstStrings = strings.count();

    scan.texts = strings.releaseTexts();

    const std::vector<std::size_t> starts = substreams(stream, globalsEnd);
    std::size_t nextInOrder = 0;
    for (const Bound& b : bounds) {
        const auto exact = std::lower_bound(starts.begin(), starts.end(), b.offset);
        std::size_t start;
        if (exact != starts.end() && *exact == b.offset)
            start = b.offset;
        else if (offsets == Offsets::InOrderWhenWrong && nextInOrder < starts.size())
            start = starts[nextInOrder];
        else
            throw Error(ErrorCode::DamagedRecord, b.offset,
                        "sheet \"" + utf8(b.name) + "\" has no substream at its offset");
        nextInOrder = static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), start) - starts.begin());
        Sheet sheet;
        sheet.name = b.name;
        const ByteView bof =
            stream.subspan(start + 4, std::min<std::size_t>(u16(stream, start + 2), stream.size() - start - 4));
        sheet.worksheet = b.worksheet && bof.size() >= 4 && u16(bof, field::kBofType) == field::kBofWorksheet;
        if (each) {
            SheetCells cells(stream, start, scan.sstStrings, scan.texts);
            each(scan.sheets.size(), sheet, sheet.worksheet ? &cells : nullptr, scan.texts);
            scan.labelSstCells += cells.labelSstCells();
            scan.texts.resize(scan.sstStrings);  // the sheet's own texts go with its cells
        } else if (sheet.worksheet) {
            const auto next = std::upper_bound(starts.begin(), starts.end(), start);
            readSheet(stream, start, next == starts.end() ? stream.size() : *next, scan, sheet);
        }
        scan.sheets.push_back(std::move(sheet));
    }
    return scan;
}

std::string WorkbookScan::address(std::uint32_t key)
{
    return cellName(static_cast<std::uint16_t>(key >> 16), static_cast<std::uint16_t>(key & 0xFFFF));
}

}  // namespace xls
