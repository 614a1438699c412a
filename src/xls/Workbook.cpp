#include "xls/Workbook.h"

#include "xls/NumberFormat.h"

#include "xls/ChartLinks.h"
#include "xls/Drawing.h"
#include "xls/ExternSheets.h"
#include "xls/LocalNames.h"
#include "xls/Macros.h"
#include "xls/Text.h"
#include "xls/WorkbookScan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <unordered_set>

namespace xls {

namespace {

std::string quoted(const std::u16string& name)
{
    return "\"" + utf8(name) + "\"";
}

// What the administrator does about each kind of workbook the engine cannot use.
const char kSaveAsExcel97[] = "the Excel 5 format: save it as an Excel 97-2003 workbook";

std::string notAWorksheet(const std::u16string& name, const Bytes& boundSheet)
{
    constexpr std::uint8_t kChartSheet = 2;
    if (boundSheet.size() > field::kSheetType && boundSheet[field::kSheetType] == kChartSheet)
        return "sheet " + quoted(name) + " is a chart sheet: a form sheet needs cells (use a worksheet)";
    return "sheet " + quoted(name) + " is not a worksheet but a macro or dialog sheet: a form sheet needs cells";
}

Bytes boundSheetData(std::uint8_t state, std::uint8_t type, const std::u16string& name)
{
    Bytes d;
    put32(d, 0);
    d.push_back(state);
    d.push_back(type);
    d.push_back(static_cast<std::uint8_t>(name.size()));
    putChars(d, name);
    return d;
}

Record cellRecord(std::uint16_t type, std::uint16_t row, std::uint16_t col, std::uint16_t xf)
{
    Record r;
    r.type = type;
    r.data.reserve(14);  // room for the value that follows: a NUMBER's is the longest
    put16(r.data, row);
    put16(r.data, col);
    put16(r.data, xf);
    return r;
}

// The records from the BOF at `start` to its EOF, nested substreams included; npos when the
// substream has no end.
std::size_t substreamEnd(const std::vector<Record>& records, std::size_t start)
{
    int depth = 0;
    for (std::size_t end = start; end < records.size(); ++end) {
        if (records[end].type == rt::Bof)
            ++depth;
        else if (records[end].type == rt::Eof && --depth == 0)
            return end;
    }
    return static_cast<std::size_t>(-1);
}

}  // namespace

bool sameSheetName(const std::u16string& a, const std::u16string& b)
{
    return sameText(a, b);
}

// ---------------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------------

Workbook Workbook::open(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(ErrorCode::FileError, path);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return fromBytes(bytes);
}

Workbook Workbook::fromBytes(ByteView bytes)
{
    Workbook wb;
    wb.openContainer(bytes);
    const Bytes& stream = wb.container_.stream(wb.workbookStream_);
    std::vector<Record> records = parseRecords(stream);
    std::vector<Bytes> bounds;
    const std::size_t globalsEnd = wb.readGlobals(records, bounds);
    wb.readSheets(records, globalsEnd, bounds);
    if (wb.macrosLeftOut_) {
        leaveOutMacroRecords(wb.globals_);
        for (Sheet& sheet : wb.sheets_)
            leaveOutSheetMacros(sheet.worksheet ? sheet.worksheet->records() : sheet.other);
    }
    wb.requireKnownFormats();
    // What a reader sees in the workbook as opened: the self-check compares against it.
    wb.opened_ =
        std::make_shared<const WorkbookScan>(WorkbookScan::fromStream(stream, WorkbookScan::Offsets::InOrderWhenWrong));
    if (wb.opened_->sheets.size() != wb.sheets_.size())
        throw Error(ErrorCode::DamagedRecord, "the sheets cannot be told apart");
    return wb;
}

// The container, the refusals that can be told from its entries, and the Workbook stream.
void Workbook::openContainer(ByteView bytes)
{
    container_ = CompoundFile::parse(bytes);
    // The macros stay in the template: a workbook made from it is a document for a supplier, who
    // should not be asked to trust them.
    macrosLeftOut_ = leaveOutVbaProject(container_);
    if (container_.hasEntry(u"_VBA_PROJECT_CUR") || container_.hasEntry(u"_VBA_PROJECT"))
        throw Error(ErrorCode::Unsupported,
                    "an embedded object holds a VBA project (remove the object from the template)");
    if (container_.hasEntry(u"Revision Log"))
        throw Error(ErrorCode::Unsupported,
                    "a shared workbook: stop sharing it in the spreadsheet program and save it "
                    "again (the spreadsheet program cannot copy the sheets of a shared "
                    "workbook either)");
    workbookStream_ = container_.findRootStream(u"Workbook");
    const int olderCopy = container_.findRootStream(u"Book");
    if (workbookStream_ < 0) {
        if (olderCopy >= 0)
            throw Error(ErrorCode::OldFormat, kSaveAsExcel97);
        throw Error(ErrorCode::NoWorkbookStream, "");
    }
    // A file saved for Excel 5 and Excel 97 at once also holds the older format's copy of the
    // workbook. It would not follow what is written here, and a reader that prefers it would show
    // the template instead of the workbook; it goes.
    if (olderCopy >= 0)
        container_.removeRootEntry(olderCopy);
}

// The globals substream: kept record by record, with what the engine needs taken out of it. Returns
// the index of its EOF; the BOUNDSHEET records go to `bounds`.
std::size_t Workbook::readGlobals(std::vector<Record>& records, std::vector<Bytes>& bounds)
{
    if (records.empty() || records[0].type != rt::Bof || records[0].data.size() < 4)
        throw Error(ErrorCode::OldFormat, 0, kSaveAsExcel97);
    if (u16(records[0].data, field::kBofVersion) != field::kBiff8)
        throw Error(ErrorCode::OldFormat, 0,
                    "BOF version " + hex(u16(records[0].data, field::kBofVersion)) + ": " + kSaveAsExcel97);
    if (u16(records[0].data, field::kBofType) != field::kBofGlobals)
        throw Error(ErrorCode::DamagedRecord, 0, "the first substream is not the workbook globals");
    std::size_t end = 0;
    while (end < records.size() && records[end].type != rt::Eof)
        ++end;
    if (end == records.size())
        throw Error(ErrorCode::DamagedRecord, records.back().offset, "the workbook globals have no EOF");
    std::vector<Record> globals(std::make_move_iterator(records.begin()),
                                std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(end + 1)));
    for (std::size_t k = 0; k < globals.size(); ++k)
        readGlobal(globals, k, bounds);
    return end;
}

void Workbook::readGlobal(std::vector<Record>& globals, std::size_t& k, std::vector<Bytes>& bounds)
{
    Record& r = globals[k];
    switch (r.type) {
    case rt::FilePass:
        throw Error(ErrorCode::Encrypted, r.offset,
                    "remove the password to open in the spreadsheet program and save it again");
    case rt::DateMode: date1904_ = r.data.size() >= 2 && u16(r.data, 0) == 1; break;
    case rt::Xf:
        if (r.data.size() >= 6)
            xfs_.push_back({u16(r.data, field::kXfFormat), (u16(r.data, field::kXfType) & field::kXfIsStyle) != 0});
        break;
    case rt::Format:
        if (r.data.size() >= 5)
            formats_.emplace_back(u16(r.data, 0), readChars(r.data, 5, u16(r.data, 2), r.data[4] & 1));
        break;
    case rt::BoundSheet:
        if (r.data.size() < field::kSheetName + 1)
            throw Error(ErrorCode::DamagedRecord, r.offset, "BOUNDSHEET too short");
        bounds.push_back(r.data);
        // The sheets' own list stands in for them; an empty first one marks where it goes back.
        if (bounds.size() == 1)
            globals_.push_back(Record{rt::BoundSheet, {}, r.offset});
        return;
    case rt::Sst: {
        // The table is held by strings_; an empty SST record marks where it goes back.
        std::vector<Record> chain{r};
        while (k + 1 < globals.size() && globals[k + 1].type == rt::Continue)
            chain.push_back(globals[++k]);
        strings_ = SharedStrings(std::move(chain));
        hadSst_ = true;
        globals_.push_back(Record{rt::Sst, {}, r.offset});
        return;
    }
    default: break;
    }
    globals_.push_back(std::move(r));
}

// Each sheet's substream starts at its BOUNDSHEET's offset; a file whose offsets are wrong is read
// in order.
void Workbook::readSheets(std::vector<Record>& records, std::size_t globalsEnd, const std::vector<Bytes>& bounds)
{
    std::size_t next = globalsEnd + 1;
    for (const Bytes& bound : bounds) {
        const std::uint32_t position = u32(bound, field::kSheetOffset);
        std::size_t start = next;
        for (std::size_t k = globalsEnd + 1; k < records.size(); ++k)
            if (records[k].offset == position && records[k].type == rt::Bof) {
                start = k;
                break;
            }
        if (start >= records.size() || records[start].type != rt::Bof)
            throw Error(ErrorCode::DamagedRecord, position, "no sheet substream at the BOUNDSHEET offset");
        const std::size_t end = substreamEnd(records, start);
        if (end >= records.size())
            throw Error(ErrorCode::DamagedRecord, records[start].offset, "sheet substream without EOF");
        std::vector<Record> sub(std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(start)),
                                std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(end + 1)));
        next = end + 1;

        Sheet sheet;
        sheet.boundSheet = bound;
        sheet.name =
            readChars(bound, field::kSheetName + 1, bound[field::kSheetNameLength], bound[field::kSheetName] & 1);
        sheet.origin = sheets_.size();
        const bool worksheet = bound[field::kSheetType] == 0 && sub[0].data.size() >= 4 &&
                               u16(sub[0].data, field::kBofType) == field::kBofWorksheet;
        if (worksheet) {
            if (std::any_of(sub.begin(), sub.end(), [](const Record& r) { return r.type == rt::SxView; }))
                throw Error(ErrorCode::Unsupported, "a pivot table on sheet " + quoted(sheet.name) +
                                                        ": remove it from the template (its values may stay)");
            try {
                sheet.worksheet.emplace(std::move(sub));
            } catch (const Error& e) {
                throw Error(e.code(), e.offset(), "sheet " + quoted(sheet.name) + ": " + e.detail());
            }
        } else {
            sheet.other = std::move(sub);
        }
        sheets_.push_back(std::move(sheet));
    }
    if (sheets_.empty())
        throw Error(ErrorCode::DamagedRecord, "a workbook without sheets");
}

// Every cell's XF is one the workbook defines: a cell that points past them shows as the reader
// guesses, and the template is damaged.
void Workbook::requireKnownFormats()
{
    for (Sheet& sheet : sheets_) {
        if (!sheet.worksheet)
            continue;
        sheet.worksheet->cells().forEachCell([&](const CellTable::Cell& c) {
            const std::optional<std::uint16_t> column = c.firstXfFrom(xfs_.size());
            if (column)
                throw Error(ErrorCode::DamagedRecord, c.record.offset,
                            "cell " + cellName(u16(c.record.data, field::kCellRow), *column) + " on sheet " +
                                quoted(sheet.name) + " has format " + std::to_string(c.xfAt(*column)) + " of " +
                                std::to_string(xfs_.size()));
        });
    }
}

// ---------------------------------------------------------------------------------------------
// Sheets
// ---------------------------------------------------------------------------------------------

Workbook::Sheet& Workbook::sheetAt(int position)
{
    if (position < 1 || position > sheetCount())
        throw Error(ErrorCode::SheetNotFound, "position " + std::to_string(position));
    return sheets_[static_cast<std::size_t>(position - 1)];
}

const Workbook::Sheet& Workbook::sheetAt(int position) const
{
    return const_cast<Workbook*>(this)->sheetAt(position);
}

const std::u16string& Workbook::sheetName(int position) const
{
    return sheetAt(position).name;
}

const Worksheet& Workbook::worksheet(int position) const
{
    const Sheet& sheet = sheetAt(position);
    if (!sheet.worksheet)
        throw Error(ErrorCode::Unsupported, notAWorksheet(sheet.name, sheet.boundSheet));
    return *sheet.worksheet;
}

int Workbook::sheetPosition(const std::u16string& name) const
{
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        if (sameSheetName(sheets_[i].name, name))
            return static_cast<int>(i + 1);
    throw Error(ErrorCode::SheetNotFound, quoted(name));
}

void Workbook::validateName(const std::u16string& name, int except) const
{
    if (name.empty() || name.size() > 31)
        throw Error(ErrorCode::InvalidSheetName, quoted(name) + " must have 1 to 31 characters");
    for (char16_t c : name)
        if (c == u':' || c == u'\\' || c == u'/' || c == u'?' || c == u'*' || c == u'[' || c == u']' || c < 0x20)
            throw Error(ErrorCode::InvalidSheetName, quoted(name) + " holds one of : \\ / ? * [ ]");
    if (name.front() == u'\'' || name.back() == u'\'')
        throw Error(ErrorCode::InvalidSheetName, quoted(name) + " starts or ends with an apostrophe");
    for (int p = 1; p <= sheetCount(); ++p)
        if (p != except && sameSheetName(sheets_[static_cast<std::size_t>(p - 1)].name, name))
            throw Error(ErrorCode::DuplicateSheetName, quoted(name));
}

void Workbook::renameSheet(int position, const std::u16string& name)
{
    Sheet& sheet = sheetAt(position);
    validateName(name, position);
    sheet.boundSheet = boundSheetData(sheet.boundSheet[field::kSheetState], sheet.boundSheet[field::kSheetType], name);
    sheet.name = name;
}

// "Name (2)", "Name (3)", ... cut so that it fits in 31 characters: the first one free.
std::u16string Workbook::copyName(const std::u16string& source) const
{
    std::unordered_set<std::u16string> taken;
    for (const Sheet& s : sheets_)
        taken.insert(foldCase(s.name));
    for (int n = 2;; ++n) {
        std::u16string suffix;
        for (char c : " (" + std::to_string(n) + ")")
            suffix.push_back(static_cast<char16_t>(c));
        const std::u16string name = source.substr(0, 31 - suffix.size()) + suffix;
        if (!taken.count(foldCase(name)))
            return name;
    }
}

// TABID gets an id for the new sheet; the workbook's own SUPBOOK counts it.
void Workbook::registerNewSheet()
{
    for (Record& r : globals_) {
        if (r.type == rt::TabId) {
            std::uint16_t top = 0;
            for (std::size_t k = 0; k + 1 < r.data.size(); k += 2)
                top = std::max(top, u16(r.data, k));
            put16(r.data, static_cast<std::uint16_t>(top + 1));
        } else if (r.type == rt::SupBook && r.data.size() >= 4 &&
                   u16(r.data, field::kSupBookKind) == field::kSupBookSelf) {
            set16(r.data, field::kSupBookSheets, static_cast<std::uint16_t>(sheetCount()));
        }
    }
}

// The copy's formulas that name a sheet-local name of the source name the copy's own.
void Workbook::renameCopiedNames(Sheet& copy, const NameRenames& renames)
{
    if (renames.empty())
        return;
    copy.worksheet->cells().forEachCell([&](CellTable::Cell& c) {
        // Formulas only: the followers (shared and array formulas) come after a FORMULA.
        if (c.record.type != rt::Formula && c.followers.empty())
            return;
        const std::string where = "the formula of cell " + cellName(u16(c.record.data, field::kCellRow), c.firstCol) +
                                  " on sheet " + quoted(copy.name);
        renameNames(c.record, renames, where);
        for (Record& f : c.followers)
            renameNames(f, renames, where);
    });
}

int Workbook::copySheetToEnd(int position)
{
    return copySheetsToEnd({position}).front();
}

std::vector<int> Workbook::copySheetsToEnd(const std::vector<int>& positions)
{
    bool charts = false;
    for (const int p : positions)
        charts = charts || (sheetAt(p).worksheet && sheetAt(p).worksheet->hasEmbeddedCharts());
    // One sheet without charts is copied whole or not at all by itself; anything more is undone as
    // a whole when a part of it is refused.
    std::optional<std::vector<Record>> globalsBefore;
    if (charts || positions.size() > 1)
        globalsBefore = globals_;
    const std::size_t sheetsBefore = sheets_.size();
    try {
        std::vector<int> made;
        std::map<int, int> copies;
        for (const int p : positions) {
            made.push_back(copyOneSheet(p));
            copies[p - 1] = made.back() - 1;
        }
        if (charts) {
            ExternSheets xtis(globals_);
            for (const int at : made) {
                Sheet& copy = sheets_[static_cast<std::size_t>(at - 1)];
                retargetChartReferences(copy.worksheet->records(), xtis, copies, "sheet " + quoted(copy.name));
            }
        }
        return made;
    } catch (...) {
        if (globalsBefore)
            globals_ = std::move(*globalsBefore);
        sheets_.erase(sheets_.begin() + static_cast<std::ptrdiff_t>(sheetsBefore), sheets_.end());
        throw;
    }
}

int Workbook::copyOneSheet(int position)
{
    const Sheet& source = sheetAt(position);
    if (!source.worksheet)
        throw Error(ErrorCode::Unsupported, notAWorksheet(source.name, source.boundSheet));
    Sheet copy = source;
    Worksheet& ws = *copy.worksheet;
    for (Record& r : ws.records())
        if (r.type == rt::Window2 && r.data.size() >= 2)  // one sheet stays the selected one
            set16(r.data, 0, u16(r.data, 0) & ~field::kWindowSelected);
    // A code name belongs to one sheet only.
    std::erase_if(ws.records(), [](const Record& r) { return r.type == rt::CodeName; });
    copy.name = copyName(source.name);
    copy.boundSheet =
        boundSheetData(source.boundSheet[field::kSheetState], source.boundSheet[field::kSheetType], copy.name);

    // Whatever can refuse the copy happens on the copy and on a drawing group of its own; the
    // workbook takes the changes over only when nothing has, so a refusal leaves it as it was.
    // The sheet's drawing, and the drawing of each chart embedded in it (a substream of its own):
    // each is a drawing of the group with ids of its own.
    std::vector<std::vector<Record*>> drawings(1);
    int depth = 0;
    for (Record& r : ws.records()) {
        if (r.type == rt::Bof && depth++ == 1)
            drawings.emplace_back();
        if (r.type == rt::Eof)
            --depth;
        if (r.type == rt::MsoDrawing)
            (depth > 1 ? drawings.back() : drawings.front()).push_back(&r);
    }
    std::optional<DrawingGroup> group;
    for (const std::vector<Record*>& drawing : drawings) {
        if (drawing.empty())
            continue;
        if (!group)
            group.emplace(globals_);
        group->adoptCopy(drawing);
    }
    const NameRenames renames = planLocalNames(globals_, position - 1);
    renameCopiedNames(copy, renames);

    if (group)
        group->writeBack(globals_);
    sheets_.push_back(std::move(copy));
    registerNewSheet();
    copyLocalNames(globals_, position - 1, sheetCount() - 1, renames);
    return sheetCount();
}

// ---------------------------------------------------------------------------------------------
// Cells
// ---------------------------------------------------------------------------------------------

std::uint16_t Workbook::cellXfFor(const Worksheet& ws, std::uint16_t row, std::uint16_t col,
                                  const CellTable::Cell* held) const
{
    auto usable = [this](std::uint16_t xf) { return xf < xfs_.size() && !xfs_[xf].style; };
    if (held)
        return held->xfAt(col);
    if (const auto xf = ws.inheritedXf(row, col); xf && usable(*xf))
        return *xf;
    if (usable(15))
        return 15;
    for (std::size_t i = 0; i < xfs_.size(); ++i)
        if (!xfs_[i].style)
            return static_cast<std::uint16_t>(i);
    return 15;
}

const std::u16string* Workbook::customFormat(std::uint16_t xf) const
{
    const std::uint16_t f = xfs_[xf].format;
    for (const auto& [id, code] : formats_)
        if (id == f)
            return &code;
    return nullptr;
}

bool Workbook::isDateFormat(std::uint16_t xf) const
{
    if (xf >= xfs_.size())
        return false;
    const auto code = customFormat(xf);
    return code ? formatShowsDate(*code) : isBuiltInDate(xfs_[xf].format);
}

bool Workbook::isTextFormat(std::uint16_t xf) const
{
    if (xf >= xfs_.size())
        return false;
    const auto code = customFormat(xf);
    return code ? *code == u"@" : xfs_[xf].format == 49;
}

bool Workbook::cellShowsDates(int position, const std::string& address) const
{
    const CellAddress a = CellAddress::parse(address);
    const Worksheet& ws = worksheet(position);
    return isDateFormat(cellXfFor(ws, a.row, a.col, ws.cells().find(a.row, a.col)));
}

void Workbook::writeCell(Sheet& sheet, std::uint16_t row, std::uint16_t col, Record record, CellReading reading)
{
    sheet.worksheet->setCell(row, col, std::move(record));
    sheet.written[WorkbookScan::key(row, col)] = std::move(reading);
}

void Workbook::setCell(int position, const std::string& address, const CellValue& value)
{
    Sheet& sheet = sheetAt(position);
    if (!sheet.worksheet)
        throw Error(ErrorCode::Unsupported, notAWorksheet(sheet.name, sheet.boundSheet));
    Worksheet& ws = *sheet.worksheet;
    const CellAddress a = CellAddress::parse(address);
    const CellTable::Cell* held = ws.cells().find(a.row, a.col);
    Worksheet::requireWritable(held, a.row, a.col);
    const bool exists = held != nullptr;
    const std::uint16_t xf = cellXfFor(ws, a.row, a.col, held);

    auto number = [&](double v) {
        if (!std::isfinite(v))
            throw Error(ErrorCode::InvalidValue, "a number that is not finite");
        Record r = cellRecord(rt::Number, a.row, a.col, xf);
        putF64(r.data, v);
        writeCell(sheet, a.row, a.col, std::move(r), CellReading::number(v, xf));
    };
    auto text = [&](const std::u16string& t) {
        if (t.size() > 32767)
            throw Error(ErrorCode::InvalidValue, "text longer than 32 767 characters");
        Record r = cellRecord(rt::LabelSst, a.row, a.col, xf);
        const std::uint32_t index = strings_.add(t);
        put32(r.data, index);
        writeCell(sheet, a.row, a.col, std::move(r), CellReading::label(index, xf));
    };
    // An empty value leaves a cell that has no record as it is; one that has becomes blank.
    auto blank = [&] {
        if (exists)
            writeCell(sheet, a.row, a.col, cellRecord(rt::Blank, a.row, a.col, xf), CellReading::blank(xf));
    };

    switch (value.kind) {
    case CellValue::Kind::Empty: blank(); break;
    case CellValue::Kind::Number: number(value.number); break;
    case CellValue::Kind::Date:
        if (isDateFormat(xf)) {
            number(dateSerial(value.year, value.month, value.day, date1904_));
        } else {
            text(dateText(value.year, value.month, value.day));
        }
        break;
    case CellValue::Kind::Text:
        if (value.text.empty()) {
            blank();
        } else if (isPlainDecimal(value.text) && !isTextFormat(xf)) {
            number(plainDecimalValue(value.text));
        } else {
            text(withLineFeeds(value.text));
        }
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

Bytes Workbook::serializeGlobals(std::vector<std::size_t>& boundSheetAt) const
{
    std::uint32_t references = 0;
    for (const Sheet& s : sheets_)
        if (s.worksheet)
            references += static_cast<std::uint32_t>(s.worksheet->cells().labelSstCount());
    Bytes out;
    std::size_t sstAt = 0;
    auto writeStrings = [&] {
        sstAt = out.size();
        for (const Record& r : strings_.records(references))
            appendRecord(out, r.type, r.data);
    };
    for (const Record& r : globals_) {
        if (r.type == rt::BoundSheet) {
            for (const Sheet& s : sheets_) {
                boundSheetAt.push_back(out.size() + 4);
                appendRecord(out, rt::BoundSheet, s.boundSheet);
            }
            continue;
        }
        if (r.type == rt::Sst) {
            writeStrings();
            continue;
        }
        if (r.type == rt::ExtSst && hadSst_) {
            const Record ext = strings_.extSst(sstAt);
            appendRecord(out, ext.type, ext.data);
            continue;
        }
        if (r.type == rt::Eof && !hadSst_ && strings_.count() > 0) {
            writeStrings();
            const Record ext = strings_.extSst(sstAt);
            appendRecord(out, ext.type, ext.data);
        }
        appendRecord(out, r.type, r.data);
    }
    return out;
}

Bytes Workbook::saveToBytes() const
{
    std::vector<std::size_t> boundSheetAt;
    Bytes stream = serializeGlobals(boundSheetAt);
    // Room for every sheet at the size of the whole template's stream (up to 64 MiB), as a rule
    // more than they take: memory reserved and never written costs next to nothing, while growing
    // the stream copies it each time.
    stream.reserve(stream.size() +
                   std::min<std::size_t>(container_.stream(workbookStream_).size() * sheets_.size(), 64u << 20));
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        const std::size_t at = stream.size();
        set32(stream, boundSheetAt.at(i), static_cast<std::uint32_t>(at));
        if (sheets_[i].worksheet) {
            sheets_[i].worksheet->serialize(stream);
        } else {
            for (const Record& r : sheets_[i].other)
                appendRecord(stream, r.type, r.data);
        }
    }
    // Never small enough for the mini stream, where some readers refuse to look.
    if (stream.size() < 4096)
        stream.resize(4096, 0);
    return container_.serializeWith(workbookStream_, stream);
}

void Workbook::save(const std::string& path) const
{
    const Bytes bytes = saveToBytes();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw Error(ErrorCode::FileError, path);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file)
        throw Error(ErrorCode::FileError, path);
}

// ---------------------------------------------------------------------------------------------
// The self-check
// ---------------------------------------------------------------------------------------------

void Workbook::compareSheet(std::size_t index, SheetCells& saved, const Texts& savedTexts,
                            std::vector<std::string>& differences) const
{
    const Sheet& sheet = sheets_[index];
    const std::string name = "sheet " + quoted(sheet.name);
    const Texts& written = strings_.texts();
    const Texts& original = opened_->texts;
    auto report = [&](std::uint32_t key, const CellReading* found, const CellReading* wanted,
                      const Texts* wantedTexts) {
        differences.push_back(name + " cell " + WorkbookScan::address(key) + " reads " +
                              (found ? describe(*found, savedTexts) : "nothing") + ", meant " +
                              (wanted ? describe(*wanted, *wantedTexts) : "nothing"));
    };

    // What each address must read as, in address order: the written value, else the opened
    // workbook's cell. The saved cells come in the order stored, which the engine makes the same.
    const std::vector<WorkbookScan::Cell>& opened = opened_->sheets[sheet.origin].cells;
    auto o = opened.begin();
    auto w = sheet.written.begin();
    std::uint32_t key = 0, last = 0;
    CellReading found;
    bool have = saved.next(key, found), first = true;
    while (true) {
        // Up to the next written cell the saved cells must be the opened workbook's, one for one:
        // that stretch, most of a sheet, in a tight loop; the general step below takes the rest.
        const std::uint32_t nextWritten =
            w == sheet.written.end() ? std::numeric_limits<std::uint32_t>::max() : w->first;
        while (have && o != opened.end() && o->key == key && key < nextWritten && (first || key > last) &&
               sameReading(o->reading, original, found, savedTexts)) {
            last = key;
            first = false;
            ++o;
            have = saved.next(key, found);
        }
        // The next meant cell, if any.
        const bool openedNext = o != opened.end() && (w == sheet.written.end() || o->key < w->first);
        const bool meantLeft = o != opened.end() || w != sheet.written.end();
        const std::uint32_t meantKey = !meantLeft ? 0 : openedNext ? o->key : w->first;
        const CellReading* meant = !meantLeft ? nullptr : openedNext ? &o->reading : &w->second;
        const Texts* meantTexts = openedNext ? &original : &written;
        if (!meantLeft && !have)
            break;
        if (have && !first && key <= last) {
            differences.push_back(name + " cell " + WorkbookScan::address(key) + " is stored twice or out of order");
            have = saved.next(key, found);
            continue;
        }
        if (have && (!meantLeft || key < meantKey)) {
            report(key, &found, nullptr, nullptr);
        } else if (!have || meantKey < key) {
            report(meantKey, nullptr, meant, meantTexts);
        } else if (!sameReading(*meant, *meantTexts, found, savedTexts)) {
            report(key, &found, meant, meantTexts);
        }
        // Advance what was compared.
        const bool takeSaved = have && (!meantLeft || key <= meantKey);
        const bool takeMeant = meantLeft && (!have || meantKey <= key);
        if (takeMeant) {
            if (openedNext) {
                ++o;
            } else {
                if (o != opened.end() && o->key == w->first)
                    ++o;  // written over the opened workbook's cell
                ++w;
            }
        }
        if (takeSaved) {
            last = key;
            first = false;
            have = saved.next(key, found);
        }
    }
}

std::vector<std::string> Workbook::verify(ByteView saved) const
{
    std::vector<std::string> differences;
    WorkbookScan out;
    try {
        out = WorkbookScan::read(
            saved, WorkbookScan::Offsets::Exact,
            [&](std::size_t i, const WorkbookScan::Sheet& sheet, SheetCells* cells, const Texts& texts) {
                if (i >= sheets_.size())
                    return;
                if (sheet.name != sheets_[i].name)
                    differences.push_back("sheet " + std::to_string(i + 1) + " is named " + quoted(sheet.name) +
                                          ", meant " + quoted(sheets_[i].name));
                else if (sheets_[i].worksheet && cells) {
                    compareSheet(i, *cells, texts, differences);
                    if (cells->cellAfterWindow())
                        differences.push_back("sheet " + quoted(sheet.name) + " has cells after its WINDOW2");
                } else if (sheets_[i].worksheet)
                    differences.push_back("sheet " + quoted(sheets_[i].name) + " is no longer a worksheet");
            });
    } catch (const Error& e) {
        return {std::string("the saved workbook cannot be read: ") + e.what()};
    }
    if (out.sheets.size() != sheets_.size())
        return {"the saved workbook has " + std::to_string(out.sheets.size()) + " sheets, meant " +
                std::to_string(sheets_.size())};
    if (out.sstTotal != out.labelSstCells)
        differences.push_back("the shared string table counts " + std::to_string(out.sstTotal) +
                              " uses, the cells make " + std::to_string(out.labelSstCells));
    if (out.sstUnique != out.sstStrings)
        differences.push_back("the shared string table counts " + std::to_string(out.sstUnique) +
                              " strings and holds " + std::to_string(out.sstStrings));
    return differences;
}

}  // namespace xls
