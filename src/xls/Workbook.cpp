#include "xls/Workbook.h"

#include "xls/Drawing.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <unordered_set>

namespace xls {

namespace {

std::string narrow(const std::u16string& s)
{
    // UTF-8 for messages.
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

char16_t foldCase(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 32);
    if (c >= 0xFF41 && c <= 0xFF5A)  // full-width a-z
        return static_cast<char16_t>(c - 32);
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7)
        return static_cast<char16_t>(c - 32);
    return c;
}

// XLUnicodeString-style characters: 8-bit when every character fits, else UTF-16.
void putChars(Bytes& out, const std::u16string& s)
{
    const bool high = std::any_of(s.begin(), s.end(), [](char16_t c) { return c > 0xFF; });
    out.push_back(high ? 1 : 0);
    for (char16_t c : s) {
        if (high)
            put16(out, c);
        else
            out.push_back(static_cast<std::uint8_t>(c));
    }
}

std::u16string readChars(ByteView d, std::size_t at, std::size_t cch, bool high)
{
    std::u16string s;
    requireRange(d, at, cch * (high ? 2 : 1));
    for (std::size_t i = 0; i < cch; ++i)
        s.push_back(high ? static_cast<char16_t>(u16(d, at + 2 * i)) : d[at + i]);
    return s;
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

bool isBuiltInDate(std::uint16_t f)
{
    return (f >= 14 && f <= 22) || (f >= 45 && f <= 47) || (f >= 27 && f <= 36) || (f >= 50 && f <= 58);
}

// A number format with day, month, year, hour or second codes outside quotes and brackets.
bool formatShowsDate(const std::u16string& code)
{
    bool quoted = false;
    int bracket = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char16_t c = code[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            ++bracket;
        } else if (c == u']') {
            bracket = std::max(0, bracket - 1);
        } else if (!bracket) {
            const char16_t l = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
            if (l == u'd' || l == u'm' || l == u'y' || l == u'h' || l == u's' || c == u'年' || c == u'月' || c == u'日')
                return true;
        }
    }
    return false;
}

Record cellRecord(std::uint16_t type, std::uint16_t row, std::uint16_t col, std::uint16_t xf)
{
    Record r;
    r.type = type;
    put16(r.data, row);
    put16(r.data, col);
    put16(r.data, xf);
    return r;
}

// Length of the formula token at `at` for the tokens a sheet-local name may hold; 0 if unknown.
std::size_t tokenLength(std::uint8_t ptg)
{
    switch (ptg) {
    case 0x10:
    case 0x0F:
    case 0x11:
    case 0x15:
    case 0x16: return 1;
    case 0x1D: return 2;
    case 0x1E: return 3;
    case 0x1F: return 9;
    case 0x29:
    case 0x49:
    case 0x69: return 3;  // PtgMemFunc: the subexpression follows inline
    case 0x24:
    case 0x44:
    case 0x64: return 5;
    case 0x25:
    case 0x45:
    case 0x65: return 9;
    case 0x3A:
    case 0x5A:
    case 0x7A:
    case 0x3C:
    case 0x5C:
    case 0x7C: return 7;
    case 0x3B:
    case 0x5B:
    case 0x7B:
    case 0x3D:
    case 0x5D:
    case 0x7D: return 11;
    default: return 0;
    }
}

bool is3d(std::uint8_t ptg)
{
    const std::uint8_t base = ptg & 0x9F;
    return base == 0x1A || base == 0x1B || base == 0x1C || base == 0x1D;
}

// The length of a cell formula token at p, or 0 when the token is not one that can be walked.
std::size_t cellTokenLength(ByteView rgce, std::size_t p)
{
    const std::uint8_t ptg = rgce[p];
    if (ptg >= 0x20) {
        switch (ptg & 0x1F) {
        case 0x00: return 8;  // PtgArray
        case 0x01: return 3;  // PtgFunc
        case 0x02: return 4;  // PtgFuncVar
        case 0x03: return 5;  // PtgName
        case 0x04:
        case 0x0A:
        case 0x0C: return 5;
        case 0x05:
        case 0x0B:
        case 0x0D: return 9;
        case 0x06:
        case 0x07:
        case 0x08: return 7;
        case 0x09: return 3;
        case 0x19: return 7;  // PtgNameX
        case 0x1A:
        case 0x1C: return 7;
        case 0x1B:
        case 0x1D: return 11;
        default: return 0;
        }
    }
    switch (ptg) {
    case 0x01:
    case 0x02: return 5;
    case 0x17: {
        if (p + 2 >= rgce.size())
            return 0;
        return 3 + static_cast<std::size_t>(rgce[p + 1]) * ((rgce[p + 2] & 1) ? 2 : 1);
    }
    case 0x19: {
        if (p + 3 >= rgce.size())
            return 0;
        const std::size_t w = u16(rgce, p + 2);
        return (rgce[p + 1] & 0x04) ? 4 + (w + 1) * 2 : 4;
    }
    case 0x1C:
    case 0x1D: return 2;
    case 0x1E: return 3;
    case 0x1F: return 9;
    default: return (ptg >= 0x03 && ptg <= 0x16) ? 1 : 0;
    }
}

void remapNames(Record& r, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& renamed)
{
    std::size_t at = 0;
    if (r.type == rt::Formula)
        at = 20;
    else if (r.type == rt::ShrFmla)
        at = 8;
    else if (r.type == rt::Array)
        at = 12;
    else
        return;
    if (r.data.size() < at + 2)
        return;
    const std::size_t cce = u16(r.data, at);
    const std::size_t begin = at + 2;
    if (begin + cce > r.data.size())
        return;
    const ByteView rgce(r.data.data() + begin, cce);
    for (std::size_t p = 0; p < cce;) {
        const std::size_t length = cellTokenLength(rgce, p);
        if (length == 0 || p + length > cce)
            return;  // a token we do not walk: the formula stays as it was
        if (rgce[p] >= 0x20 && (rgce[p] & 0x1F) == 0x03) {
            const std::uint32_t iname = u32(rgce, p + 1);
            for (const auto& [from, to] : renamed)
                if (iname == from)
                    set32(r.data, begin + p + 1, to);
        }
        p += length;
    }
}

}  // namespace

bool sameSheetName(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

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
    wb.container_ = CompoundFile::parse(bytes);
    if (wb.container_.hasEntry(u"_VBA_PROJECT_CUR") || wb.container_.hasEntry(u"_VBA_PROJECT"))
        throw Error(ErrorCode::Unsupported, "the workbook holds a VBA project");
    if (wb.container_.hasEntry(u"Revision Log"))
        throw Error(ErrorCode::Unsupported, "a shared workbook");
    wb.workbookStream_ = wb.container_.findRootStream(u"Workbook");
    if (wb.workbookStream_ < 0) {
        if (wb.container_.findRootStream(u"Book") >= 0)
            throw Error(ErrorCode::OldFormat, "a BIFF5 \"Book\" stream");
        throw Error(ErrorCode::NoWorkbookStream, "");
    }
    std::vector<Record> records = parseRecords(wb.container_.stream(wb.workbookStream_));
    if (records.empty() || records[0].type != rt::Bof || records[0].data.size() < 4)
        throw Error(ErrorCode::OldFormat, 0, "the stream does not start with a BIFF8 BOF record");
    if (u16(records[0].data, 0) != 0x0600)
        throw Error(ErrorCode::OldFormat, 0, "BOF version " + hex(u16(records[0].data, 0)));
    if (u16(records[0].data, 2) != 0x0005)
        throw Error(ErrorCode::DamagedRecord, 0, "the first substream is not the workbook globals");

    std::size_t i = 0;
    for (; i < records.size(); ++i) {
        wb.globals_.push_back(records[i]);
        if (records[i].type == rt::Eof)
            break;
    }
    if (i == records.size())
        throw Error(ErrorCode::DamagedRecord, records.back().offset, "the workbook globals have no EOF");

    std::vector<std::pair<Bytes, std::uint32_t>> bounds;
    std::vector<Record> kept;
    for (std::size_t k = 0; k < wb.globals_.size(); ++k) {
        Record& r = wb.globals_[k];
        switch (r.type) {
        case rt::FilePass: throw Error(ErrorCode::Encrypted, r.offset, "");
        case rt::DateMode: wb.date1904_ = r.data.size() >= 2 && u16(r.data, 0) == 1; break;
        case rt::Xf:
            if (r.data.size() >= 6)
                wb.xfs_.push_back({u16(r.data, 2), (u16(r.data, 4) & 0x0004) != 0});
            break;
        case rt::Format:
            if (r.data.size() >= 5)
                wb.formats_.emplace_back(u16(r.data, 0), readChars(r.data, 5, u16(r.data, 2), r.data[4] & 1));
            break;
        case rt::BoundSheet:
            if (r.data.size() < 8)
                throw Error(ErrorCode::DamagedRecord, r.offset, "BOUNDSHEET too short");
            bounds.emplace_back(r.data, u32(r.data, 0));
            break;
        case rt::Sst: {
            std::vector<Record> chain{r};
            while (k + 1 < wb.globals_.size() && wb.globals_[k + 1].type == rt::Continue)
                chain.push_back(wb.globals_[++k]);
            wb.strings_ = SharedStrings(std::move(chain));
            wb.hadSst_ = true;
            kept.push_back(Record{rt::Sst, {}, r.offset});  // where the table goes on save
            continue;
        }
        default: break;
        }
        kept.push_back(std::move(r));
    }
    wb.globals_ = std::move(kept);

    // Each sheet's substream starts at its BOUNDSHEET's offset; a file whose offsets are wrong is
    // read in order.
    std::size_t next = i + 1;
    for (const auto& [data, position] : bounds) {
        std::size_t start = next;
        for (std::size_t k = i + 1; k < records.size(); ++k)
            if (records[k].offset == position && records[k].type == rt::Bof) {
                start = k;
                break;
            }
        if (start >= records.size() || records[start].type != rt::Bof)
            throw Error(ErrorCode::DamagedRecord, position, "no sheet substream at the BOUNDSHEET offset");
        std::size_t end = start;
        for (int depth = 0; end < records.size(); ++end) {
            if (records[end].type == rt::Bof)
                ++depth;
            else if (records[end].type == rt::Eof && --depth == 0)
                break;
        }
        if (end >= records.size())
            throw Error(ErrorCode::DamagedRecord, records[start].offset, "sheet substream without EOF");
        std::vector<Record> sub(records.begin() + static_cast<std::ptrdiff_t>(start),
                                records.begin() + static_cast<std::ptrdiff_t>(end + 1));
        next = end + 1;

        Sheet sheet;
        sheet.boundSheet = data;
        sheet.name = readChars(data, 8, data[6], data[7] & 1);
        const bool worksheet = data[5] == 0 && sub[0].data.size() >= 4 && u16(sub[0].data, 2) == 0x0010;
        if (worksheet) {
            if (std::any_of(sub.begin(), sub.end(), [](const Record& r) { return r.type == rt::SxView; }))
                throw Error(ErrorCode::Unsupported, "a pivot table on sheet \"" + narrow(sheet.name) + "\"");
            sheet.worksheet.emplace(std::move(sub));
        } else {
            sheet.other = std::move(sub);
        }
        wb.sheets_.push_back(std::move(sheet));
    }
    if (wb.sheets_.empty())
        throw Error(ErrorCode::DamagedRecord, "a workbook without sheets");
    return wb;
}

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

int Workbook::sheetPosition(const std::u16string& name) const
{
    for (std::size_t i = 0; i < sheets_.size(); ++i)
        if (sameSheetName(sheets_[i].name, name))
            return static_cast<int>(i + 1);
    throw Error(ErrorCode::SheetNotFound, "\"" + narrow(name) + "\"");
}

void Workbook::validateName(const std::u16string& name, int except) const
{
    if (name.empty() || name.size() > 31)
        throw Error(ErrorCode::InvalidSheetName, "\"" + narrow(name) + "\" must have 1 to 31 characters");
    for (char16_t c : name)
        if (c == u':' || c == u'\\' || c == u'/' || c == u'?' || c == u'*' || c == u'[' || c == u']' || c < 0x20)
            throw Error(ErrorCode::InvalidSheetName, "\"" + narrow(name) + "\" holds one of : \\ / ? * [ ]");
    if (name.front() == u'\'' || name.back() == u'\'')
        throw Error(ErrorCode::InvalidSheetName, "\"" + narrow(name) + "\" starts or ends with an apostrophe");
    for (int p = 1; p <= sheetCount(); ++p)
        if (p != except && sameSheetName(sheets_[static_cast<std::size_t>(p - 1)].name, name))
            throw Error(ErrorCode::DuplicateSheetName, "\"" + narrow(name) + "\"");
}

void Workbook::renameSheet(int position, const std::u16string& name)
{
    Sheet& sheet = sheetAt(position);
    validateName(name, position);
    sheet.boundSheet = boundSheetData(sheet.boundSheet[4], sheet.boundSheet[5], name);
    sheet.name = name;
}

int Workbook::copySheetToEnd(int position)
{
    const Sheet& source = sheetAt(position);
    if (!source.worksheet)
        throw Error(ErrorCode::Unsupported, "sheet \"" + narrow(source.name) + "\" is not a worksheet");
    if (source.worksheet->hasEmbeddedCharts())
        throw Error(ErrorCode::Unsupported, "sheet \"" + narrow(source.name) + "\" holds an embedded chart");
    Sheet copy;
    copy.worksheet = *source.worksheet;
    Worksheet& ws = *copy.worksheet;
    // The copy is never selected: one sheet stays the active one.
    for (auto* list : {&ws.head(), &ws.tail()}) {
        for (Record& r : *list)
            if (r.type == rt::Window2 && r.data.size() >= 2)
                set16(r.data, 0, u16(r.data, 0) & ~0x0600);
        // A code name belongs to one sheet only.
        list->erase(std::remove_if(list->begin(), list->end(), [](const Record& r) { return r.type == rt::CodeName; }),
                    list->end());
    }
    std::vector<Record*> drawing;
    for (Record& r : ws.tail())
        if (r.type == rt::MsoDrawing)
            drawing.push_back(&r);
    if (!drawing.empty()) {
        DrawingGroup group(globals_);
        group.adoptCopy(drawing);
        group.writeBack(globals_);
    }

    // "Name (2)", "Name (3)", ... cut so that it fits in 31 characters: the first one free.
    std::unordered_set<std::u16string> taken;
    for (const Sheet& s : sheets_) {
        std::u16string folded = s.name;
        for (char16_t& c : folded)
            c = foldCase(c);
        taken.insert(std::move(folded));
    }
    std::u16string name;
    for (int n = 2;; ++n) {
        std::u16string suffix;
        for (char c : " (" + std::to_string(n) + ")")
            suffix.push_back(static_cast<char16_t>(c));
        name = source.name.substr(0, 31 - suffix.size()) + suffix;
        std::u16string folded = name;
        for (char16_t& c : folded)
            c = foldCase(c);
        if (!taken.count(folded))
            break;
    }
    copy.name = name;
    copy.boundSheet = boundSheetData(source.boundSheet[4], source.boundSheet[5], name);
    sheets_.push_back(std::move(copy));
    const int to = sheetCount();

    for (Record& r : globals_) {
        if (r.type == rt::TabId) {
            std::uint16_t top = 0;
            for (std::size_t k = 0; k + 1 < r.data.size(); k += 2)
                top = std::max(top, u16(r.data, k));
            put16(r.data, static_cast<std::uint16_t>(top + 1));
        } else if (r.type == rt::SupBook && r.data.size() >= 4 && u16(r.data, 2) == 0x0401) {
            set16(r.data, 0, static_cast<std::uint16_t>(sheetCount()));
        }
    }
    // Formulas of the copy that name a sheet-local name of the source now name the copy's own.
    const auto renamed = copyLocalNames(position - 1, to - 1);
    if (!renamed.empty())
        sheets_.back().worksheet->forEachCellRecord([&](Record& r) { remapNames(r, renamed); });
    return to;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> Workbook::copyLocalNames(int from, int to)
{
    std::vector<std::size_t> names;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> renamed;
    std::size_t lastName = 0;
    std::uint32_t nameCount = 0;
    for (std::size_t k = 0; k < globals_.size(); ++k) {
        if (globals_[k].type != rt::Name)
            continue;
        lastName = k;
        ++nameCount;
        if (globals_[k].data.size() >= 14 && u16(globals_[k].data, 8) == from + 1) {
            names.push_back(k);
            renamed.emplace_back(nameCount, 0);
        }
    }
    if (names.empty())
        return renamed;
    for (std::size_t k = 0; k < renamed.size(); ++k)
        renamed[k].second = nameCount + 1 + static_cast<std::uint32_t>(k);

    // The XTI that points at the source sheet alone, and the one for the copy.
    int selfBook = -1, books = 0;
    Record* externSheet = nullptr;
    for (std::size_t k = 0; k < globals_.size(); ++k) {
        Record& r = globals_[k];
        if (r.type == rt::SupBook) {
            if (r.data.size() >= 4 && u16(r.data, 2) == 0x0401)
                selfBook = books;
            ++books;
        } else if (r.type == rt::ExternSheet) {
            if (k + 1 < globals_.size() && globals_[k + 1].type == rt::Continue)
                throw Error(ErrorCode::Unsupported, "a continued EXTERNSHEET record");
            externSheet = &r;
        }
    }
    auto findXti = [&](int sheet) -> int {
        if (!externSheet)
            return -1;
        const std::uint16_t n = u16(externSheet->data, 0);
        for (std::uint16_t x = 0; x < n; ++x) {
            const std::size_t at = 2 + 6u * x;
            if (u16(externSheet->data, at) == selfBook && u16(externSheet->data, at + 2) == sheet &&
                u16(externSheet->data, at + 4) == sheet)
                return x;
        }
        return -1;
    };
    const int sourceXti = findXti(from);
    int copyXti = -1;

    std::vector<Record> added;
    for (std::size_t k : names) {
        Record r = globals_[k];
        Bytes& d = r.data;
        const std::size_t cch = d[3];
        const std::uint16_t cce = u16(d, 4);
        const std::size_t rgce = 15 + cch * ((u8(d, 14) & 1) ? 2 : 1);
        requireRange(d, rgce, cce);
        set16(d, 8, static_cast<std::uint16_t>(to + 1));
        for (std::size_t p = rgce; p < rgce + cce;) {
            const std::uint8_t ptg = d[p];
            const std::size_t length = tokenLength(ptg);
            if (length == 0)
                throw Error(ErrorCode::Unsupported, r.offset, "a sheet-local name with formula token " + hex(ptg, 2));
            if (is3d(ptg) && sourceXti >= 0 && u16(d, p + 1) == sourceXti) {
                if (copyXti < 0) {
                    copyXti = findXti(to);
                    if (copyXti < 0) {
                        const std::uint16_t n = u16(externSheet->data, 0);
                        put16(externSheet->data, static_cast<std::uint16_t>(selfBook));
                        put16(externSheet->data, static_cast<std::uint16_t>(to));
                        put16(externSheet->data, static_cast<std::uint16_t>(to));
                        set16(externSheet->data, 0, static_cast<std::uint16_t>(n + 1));
                        copyXti = n;
                    }
                }
                set16(d, p + 1, static_cast<std::uint16_t>(copyXti));
            }
            p += length;
        }
        added.push_back(std::move(r));
    }
    globals_.insert(globals_.begin() + static_cast<std::ptrdiff_t>(lastName + 1), added.begin(), added.end());
    return renamed;
}

std::uint16_t Workbook::cellXfFor(const Worksheet& ws, std::uint16_t row, std::uint16_t col) const
{
    auto usable = [this](std::uint16_t xf) { return xf < xfs_.size() && !xfs_[xf].style; };
    if (const auto xf = ws.cellXf(row, col))
        return *xf;
    if (const auto xf = ws.inheritedXf(row, col); xf && usable(*xf))
        return *xf;
    if (usable(15))
        return 15;
    for (std::size_t i = 0; i < xfs_.size(); ++i)
        if (!xfs_[i].style)
            return static_cast<std::uint16_t>(i);
    return 15;
}

std::optional<std::u16string> Workbook::customFormat(std::uint16_t xf) const
{
    const std::uint16_t f = xfs_[xf].format;
    for (const auto& [id, code] : formats_)
        if (id == f)
            return code;
    return std::nullopt;
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

void Workbook::setCell(int position, const std::string& address, const CellValue& value)
{
    Sheet& sheet = sheetAt(position);
    if (!sheet.worksheet)
        throw Error(ErrorCode::Unsupported, "sheet \"" + narrow(sheet.name) + "\" is not a worksheet");
    Worksheet& ws = *sheet.worksheet;
    const CellAddress a = CellAddress::parse(address);
    ws.requireWritable(a.row, a.col);
    const bool exists = ws.cellXf(a.row, a.col).has_value();
    const std::uint16_t xf = cellXfFor(ws, a.row, a.col);

    auto number = [&](double v) {
        if (!std::isfinite(v))
            throw Error(ErrorCode::InvalidValue, "a number that is not finite");
        Record r = cellRecord(rt::Number, a.row, a.col, xf);
        putF64(r.data, v);
        ws.setCell(a.row, a.col, std::move(r));
    };
    auto text = [&](const std::u16string& t) {
        if (t.size() > 32767)
            throw Error(ErrorCode::InvalidValue, "text longer than 32 767 characters");
        Record r = cellRecord(rt::LabelSst, a.row, a.col, xf);
        put32(r.data, strings_.add(t));
        ws.setCell(a.row, a.col, std::move(r));
    };
    auto blank = [&] {
        if (exists)
            ws.setCell(a.row, a.col, cellRecord(rt::Blank, a.row, a.col, xf));
    };

    switch (value.kind) {
    case CellValue::Kind::Empty: blank(); break;
    case CellValue::Kind::Number: number(value.number); break;
    case CellValue::Kind::Date:
        if (isDateFormat(xf)) {
            number(dateSerial(value.year, value.month, value.day, date1904_));
        } else {
            dateSerial(value.year, value.month, value.day, false);  // validates the date
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", value.year, value.month, value.day);
            text(std::u16string(buffer, buffer + 10));
        }
        break;
    case CellValue::Kind::Text:
        if (value.text.empty()) {
            blank();
        } else if (isPlainDecimal(value.text) && !isTextFormat(xf)) {
            std::string ascii(value.text.begin(), value.text.end());
            double v = 0;
            std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
            number(v);
        } else {
            // Line breaks are stored as the spreadsheet application stores them: LF alone.
            std::u16string t;
            for (std::size_t k = 0; k < value.text.size(); ++k)
                if (!(value.text[k] == u'\r' && k + 1 < value.text.size() && value.text[k + 1] == u'\n'))
                    t.push_back(value.text[k]);
            text(t);
        }
        break;
    }
}

Bytes Workbook::serializeGlobals(std::vector<std::size_t>& boundSheetAt) const
{
    std::uint32_t references = 0;
    for (const Sheet& s : sheets_)
        if (s.worksheet)
            references += static_cast<std::uint32_t>(s.worksheet->labelSstCount());
    Bytes out;
    bool sheetsWritten = false;
    std::size_t sstAt = 0;
    auto writeStrings = [&] {
        sstAt = out.size();
        for (const Record& r : strings_.records(references))
            appendRecord(out, r.type, r.data);
    };
    for (const Record& r : globals_) {
        if (r.type == rt::BoundSheet) {
            if (!sheetsWritten)
                for (const Sheet& s : sheets_) {
                    boundSheetAt.push_back(out.size() + 4);
                    appendRecord(out, rt::BoundSheet, s.boundSheet);
                }
            sheetsWritten = true;
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
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        const std::size_t at = stream.size();
        set32(stream, boundSheetAt.at(i), static_cast<std::uint32_t>(at));
        if (sheets_[i].worksheet) {
            const Bytes sheet = sheets_[i].worksheet->serialize(at);
            stream.insert(stream.end(), sheet.begin(), sheet.end());
        } else {
            for (const Record& r : sheets_[i].other)
                appendRecord(stream, r.type, r.data);
        }
    }
    // Never small enough for the mini stream, where some readers refuse to look.
    if (stream.size() < 4096)
        stream.resize(4096, 0);
    CompoundFile out = container_;
    out.setStream(workbookStream_, std::move(stream));
    return out.serialize();
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

}  // namespace xls
