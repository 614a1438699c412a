#include "ooxml/Workbook.h"

#include "ooxml/CellText.h"
#include "ooxml/PackageParts.h"
#include "ooxml/Parallel.h"
#include "ooxml/SheetReferences.h"
#include "ooxml/SheetRows.h"
#include "ooxml/SheetText.h"
#include "ooxml/XmlParts.h"
#include "ooxml/Zip.h"
#include "xls/Error.h"
#include "xls/NumberFormat.h"
#include "xls/Text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>

namespace ooxml {

// The cells of a sheet as the template holds them, read once and shared by its copies.
struct SheetIndex {
    struct Cell {
        int style = 0;
        bool formula = false;
        bool sharedMaster = false;  // the first cell of a shared formula, which others build on
    };
    // Both in the order of their keys, one entry a key.
    std::vector<std::pair<CellKey, Cell>> cells;
    std::map<std::uint32_t, int> rowStyles;  // rows with their own format
    struct Column {
        std::uint32_t first, last;
        int style;
    };
    std::vector<Column> columns;
    std::vector<xls::CellRange> arrays;  // the ranges of array formulas
    std::vector<xls::CellRange> merged;
    bool pivotTables = false;
    std::vector<std::pair<CellKey, CellRead>> opened;  // what each cell reads as
};

struct Styles {
    std::vector<int> cellFormats;           // each cell style's number format
    std::map<int, std::u16string> formats;  // the workbook's own number formats
};

namespace {

const char* const kMainType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char* const kWorksheetType = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";

CellKey key(std::uint32_t row, std::uint32_t col)
{
    return CellKey{row} << 14 | col;
}

// The entry of that key in a list in the order of keys; nullptr when there is none.
template <typename T>
const T* entryAt(const std::vector<std::pair<CellKey, T>>& list, CellKey k)
{
    const auto it = std::lower_bound(list.begin(), list.end(), k, [](const auto& e, CellKey x) { return e.first < x; });
    return it != list.end() && it->first == k ? &it->second : nullptr;
}

// A list read in the document's order put in the order of keys; of a key given twice, the last.
template <typename T>
void inKeyOrder(std::vector<std::pair<CellKey, T>>& list)
{
    const auto before = [](const auto& x, const auto& y) { return x.first < y.first; };
    if (std::adjacent_find(list.begin(), list.end(), [](const auto& x, const auto& y) { return x.first >= y.first; }) ==
        list.end())
        return;
    std::stable_sort(list.begin(), list.end(), before);
    std::vector<std::pair<CellKey, T>> kept;
    for (std::size_t k = 0; k < list.size(); ++k)
        if (k + 1 == list.size() || list[k + 1].first != list[k].first)
            kept.push_back(std::move(list[k]));
    list = std::move(kept);
}

CellRead readCell(const CellParts& c, const std::vector<std::u16string>& shared);

// The sheet's cells, columns and merges as the template holds them; false where its document holds
// no rows and one of them must be read from its elements (it is then to be parsed whole).
bool indexSheet(const pugi::xml_document& doc, const std::string& text, const std::vector<std::u16string>& shared,
                SheetIndex& index)
{
    index = SheetIndex();
    const pugi::xml_node ws = doc.document_element();
    for (const pugi::xml_node col : child(ws, "cols").children())
        if (local(col) == "col" && col.attribute("style"))
            index.columns.push_back({col.attribute("min").as_uint() - 1, col.attribute("max").as_uint() - 1,
                                     col.attribute("style").as_int()});
    SheetRows rows(text, child(ws, "sheetData"));
    while (rows.next()) {
        if (rows.rowStyle() >= 0)
            index.rowStyles[rows.row()] = rows.rowStyle();
        for (const SheetCell& c : rows.cells()) {
            const CellParts& parts = c.parts;
            SheetIndex::Cell cell;
            cell.style = parts.style;
            if (parts.hasFormula) {
                cell.formula = true;
                xls::CellRange range;
                if (parts.formulaType == "array" && rangeRef(parts.formulaRef, range))
                    index.arrays.push_back(range);
                cell.sharedMaster = parts.formulaType == "shared" && parts.formulaRef.data();
            }
            const CellKey k = key(rows.row(), c.col);
            index.cells.emplace_back(k, cell);
            index.opened.emplace_back(k, readCell(parts, shared));
        }
    }
    if (rows.failed())
        return false;
    inKeyOrder(index.cells);
    inKeyOrder(index.opened);
    for (const pugi::xml_node m : child(ws, "mergeCells").children()) {
        xls::CellRange range;
        if (local(m) == "mergeCell" && rangeRef(m.attribute("ref").value(), range))
            index.merged.push_back(range);
    }
    return true;
}

Styles readStyles(const std::string* xml)
{
    Styles styles;
    if (!xml)
        return styles;
    const pugi::xml_document doc = parse(*xml, "xl/styles.xml");
    const pugi::xml_node root = doc.document_element();
    for (const pugi::xml_node f : child(root, "numFmts").children())
        if (local(f) == "numFmt")
            styles.formats[f.attribute("numFmtId").as_int()] = xls::fromUtf8(f.attribute("formatCode").value());
    for (const pugi::xml_node xf : child(root, "cellXfs").children())
        if (local(xf) == "xf")
            styles.cellFormats.push_back(xf.attribute("numFmtId").as_int());
    return styles;
}

std::vector<std::u16string> sharedStringsOf(const pugi::xml_document& doc)
{
    std::vector<std::u16string> strings;
    for (const pugi::xml_node si : doc.document_element().children())
        if (local(si) == "si")
            strings.push_back(itemText(si));
    return strings;
}

// What a cell element reads as; shared strings from the workbook's table.
CellRead readCell(const CellParts& c, const std::vector<std::u16string>& shared)
{
    CellRead read;
    read.style = c.style;
    const std::string_view t = c.type;
    if (c.hasFormula) {
        read.kind = CellRead::Kind::Formula;
    } else if (t == "inlineStr") {
        read.kind = CellRead::Kind::Text;
        read.text = c.inlineElement ? itemText(c.is()) : xls::fromUtf8(std::string(c.inlineText));
    } else if (!c.hasValue) {
        read.kind = CellRead::Kind::Blank;
    } else if (t == "s") {
        // Read from the text, a value is plain digits (SheetRows reads no other from it).
        std::size_t at = ~std::size_t{0};
        if (c.valueElement)
            at = c.v().text().as_ullong(~0ull);
        else
            std::from_chars(c.value.data(), c.value.data() + c.value.size(), at);
        read.kind = at < shared.size() ? CellRead::Kind::Text : CellRead::Kind::Other;
        if (at < shared.size())
            read.text = shared[at];
    } else if (t.empty() || t == "n") {
        read.kind = CellRead::Kind::Number;
        const std::string_view text = c.value;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), read.number);
        if (ec != std::errc() || end != text.data() + text.size())
            read.kind = CellRead::Kind::Other;
    } else if (t == "str") {
        read.kind = CellRead::Kind::Text;
        read.text = xls::fromUtf8(std::string(c.value));
    } else {
        read.kind = CellRead::Kind::Other;
        read.text = xls::fromUtf8(std::string(c.value));
    }
    return read;
}

std::string describe(const CellRead& r)
{
    switch (r.kind) {
    case CellRead::Kind::Missing: return "no cell";
    case CellRead::Kind::Blank: return "a blank cell (style " + std::to_string(r.style) + ")";
    case CellRead::Kind::Number: {
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, r.number).ptr;
        return "the number " + std::string(buffer, end) + " (style " + std::to_string(r.style) + ")";
    }
    case CellRead::Kind::Text: return "the text \"" + xls::utf8(r.text) + "\" (style " + std::to_string(r.style) + ")";
    case CellRead::Kind::Formula: return "a formula (style " + std::to_string(r.style) + ")";
    case CellRead::Kind::Other: return "another value (style " + std::to_string(r.style) + ")";
    }
    return {};
}

// Whether a cell element reads as expected, made in full only for texts: most cells of a form are
// blank and styled, and most of the rest numbers.
bool readsAs(const CellParts& c, const CellRead& expected, const std::vector<std::u16string>& shared)
{
    if (c.style != expected.style)
        return false;
    switch (expected.kind) {
    case CellRead::Kind::Blank: return !c.hasFormula && !c.hasValue && c.type != "inlineStr";
    case CellRead::Kind::Formula: return c.hasFormula;  // its result is worked out on loading
    case CellRead::Kind::Number: {
        if (c.hasFormula || !c.hasValue || !(c.type.empty() || c.type == "n"))
            return false;
        const std::string_view text = c.value;
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        return ec == std::errc() && end == text.data() + text.size() && value == expected.number;
    }
    default: return readCell(c, shared) == expected;
    }
}

// A saved sheet's cells, given in the order of their keys, against what was meant: the cells
// written, and the template's other cells as they were.
class SheetComparison {
public:
    SheetComparison(std::string name, const std::vector<std::pair<CellKey, CellRead>>& before,
                    const std::map<CellKey, CellRead>& written, const std::vector<std::u16string>& shared,
                    std::vector<std::string>& differences)
        : name_(name),
          before_(before),
          written_(written),
          shared_(shared),
          differences_(differences),
          b_(before.begin()),
          w_(written.begin())
    {
    }

    void cell(CellKey k, const CellParts& parts)
    {
        CellKey next = 0;
        const CellRead* expected;
        while ((expected = nextExpected(next)) && next < k) {
            differ(next, expected, nullptr);
            pass(next);
        }
        if (expected && next == k) {
            if (!readsAs(parts, *expected, shared_)) {
                const CellRead found = readCell(parts, shared_);
                differ(k, expected, &found);
            }
            pass(k);
        } else {
            const CellRead found = readCell(parts, shared_);
            differ(k, nullptr, &found);
        }
    }

    // A row's cells as the checker reads them, in the sheet's order. Once a cell comes out of the
    // order of keys the rest are left, and the sheet is to be compared again with its cells sorted.
    void row(const SheetRows& rows)
    {
        fed_ = true;
        for (const SheetCell& c : rows.cells()) {
            if (!ordered_)
                return;
            const CellKey at = key(rows.row(), c.col);
            ordered_ = !any_ || last_ < at;
            any_ = true;
            last_ = at;
            if (ordered_)
                cell(at, c.parts);
        }
    }
    bool fed() const { return fed_; }
    bool ordered() const { return ordered_; }

    void finish()
    {
        CellKey next = 0;
        while (const CellRead* expected = nextExpected(next)) {
            differ(next, expected, nullptr);
            pass(next);
        }
    }

private:
    // What the next cell meant must read as, and its key: a cell written, else the template's.
    const CellRead* nextExpected(CellKey& k) const
    {
        const bool b = b_ != before_.end(), w = w_ != written_.end();
        if (w && (!b || w_->first <= b_->first)) {
            k = w_->first;
            return &w_->second;
        }
        if (b) {
            k = b_->first;
            return &b_->second;
        }
        return nullptr;
    }

    void pass(CellKey k)
    {
        if (w_ != written_.end() && w_->first == k)
            ++w_;
        if (b_ != before_.end() && b_->first == k)
            ++b_;
    }

    void differ(CellKey k, const CellRead* expected, const CellRead* found)
    {
        differences_.push_back("sheet \"" + name_ + "\" cell " +
                               cellName(static_cast<std::uint32_t>(k >> 14), static_cast<std::uint32_t>(k & 0x3FFF)) +
                               " holds " + (found ? describe(*found) : "no cell") +
                               (expected ? ", not " + describe(*expected) : ", which nothing wrote"));
    }

    const std::string name_;
    const std::vector<std::pair<CellKey, CellRead>>& before_;
    const std::map<CellKey, CellRead>& written_;
    const std::vector<std::u16string>& shared_;
    std::vector<std::string>& differences_;
    std::vector<std::pair<CellKey, CellRead>>::const_iterator b_;
    std::map<CellKey, CellRead>::const_iterator w_;
    bool fed_ = false, ordered_ = true, any_ = false;
    CellKey last_ = 0;
};

// Relationships whose targets a copied part shares with its source rather than copying.
bool sharedTarget(const std::string& kind)
{
    return kind == "image" || kind == "hyperlink" || kind == "video" || kind == "audio" || kind == "media" ||
           kind == "hdphoto";
}

}  // namespace

// -- opening ---------------------------------------------------------------------------------

Workbook Workbook::fromBytes(xls::ByteView bytes)
{
    if (bytes.size() >= 8 && bytes[0] == 0xD0 && bytes[1] == 0xCF && bytes[2] == 0x11 && bytes[3] == 0xE0)
        throw xls::Error(xls::ErrorCode::Encrypted,
                         "the workbook is protected by a password: open it in the spreadsheet program and save it "
                         "without one");
    if (!looksLikeZip(bytes))
        throw xls::Error(xls::ErrorCode::DamagedPackage, "not a zip package");
    Workbook book;
    for (ZipEntry& e : readZip(bytes)) {
        if (e.name.empty() || e.name.back() == '/')
            continue;
        if (book.parts_.count(e.name))
            throw xls::Error(xls::ErrorCode::DamagedPackage, "the part " + e.name + " is there twice");
        book.order_.push_back(e.name);
        book.parts_[e.name] = std::make_shared<const std::string>(std::move(e.data));
    }
    const std::string* types = book.part("[Content_Types].xml");
    const std::string* packageRels = book.part("_rels/.rels");
    if (!types || !packageRels)
        throw xls::Error(xls::ErrorCode::DamagedPackage, "no content types or no package relationships");
    book.types_ = ContentTypes::parse(*types);
    const Relationships top = Relationships::parse(*packageRels);
    const Relationship* main = top.firstOfKind("officeDocument");
    if (!main)
        throw xls::Error(xls::ErrorCode::DamagedPackage, "no workbook part");
    if (main->type.starts_with("http://purl.oclc.org/ooxml/"))
        throw xls::Error(xls::ErrorCode::Unsupported,
                         "the workbook is saved as Strict Open XML: save it as an ordinary Excel workbook (.xlsx)");
    book.workbookPart_ = book.storedName(resolveTarget("", main->target));
    const std::string* workbookXml = book.part(book.workbookPart_);
    if (!workbookXml)
        throw xls::Error(xls::ErrorCode::DamagedPackage, "the workbook part " + book.workbookPart_ + " is missing");
    if (const std::string* rels = book.part(relsPartOf(book.workbookPart_)))
        book.workbookRels_ = Relationships::parse(*rels);

    // A relationship of the workbook's to a part that is not there, which nothing in the workbook
    // names (a writer's slip: a theme it never wrote), is left out rather than saved dangling.
    std::erase_if(book.workbookRels_.list, [&](const Relationship& r) {
        return !r.external && !book.part(resolveTarget(book.workbookPart_, r.target)) &&
               workbookXml->find("\"" + r.id + "\"") == std::string::npos;
    });

    const pugi::xml_document doc = parse(*workbookXml, book.workbookPart_);
    const pugi::xml_node root = doc.document_element();
    book.date1904_ = child(root, "workbookPr").attribute("date1904").as_bool();
    for (const pugi::xml_node s : child(root, "sheets").children()) {
        if (local(s) != "sheet")
            continue;
        Sheet sheet;
        sheet.name = xls::fromUtf8(s.attribute("name").value());
        sheet.relId = prefixed(s, "id").value();
        book.nextSheetId_ = std::max(book.nextSheetId_, s.attribute("sheetId").as_int() + 1);
        const Relationship* rel = book.workbookRels_.byId(sheet.relId);
        if (!rel || rel->external)
            throw xls::Error(xls::ErrorCode::DamagedPackage, "the sheet \"" + xls::utf8(sheet.name) + "\" has no part");
        sheet.part = book.storedName(resolveTarget(book.workbookPart_, rel->target));
        sheet.kind = kindOf(rel->type);
        if (!book.part(sheet.part))
            throw xls::Error(xls::ErrorCode::DamagedPackage, "the sheet part " + sheet.part + " is missing");
        sheet.origin = static_cast<int>(book.sheets_.size());
        book.templateNames_.push_back(sheet.name);
        book.sheets_.push_back(std::move(sheet));
    }
    if (book.sheets_.empty())
        throw xls::Error(xls::ErrorCode::DamagedPackage, "the workbook has no sheets");

    const Relationship* styles = book.workbookRels_.firstOfKind("styles");
    book.styles_ = std::make_shared<const Styles>(
        readStyles(styles ? book.part(resolveTarget(book.workbookPart_, styles->target)) : nullptr));
    if (const Relationship* sst = book.workbookRels_.firstOfKind("sharedStrings"))
        if (const std::string* xml = book.part(resolveTarget(book.workbookPart_, sst->target)))
            book.sharedStrings_ = sharedStringsOf(parse(*xml, "the shared strings"));

    // What the saved workbook leaves out: the calculation chain, which would name cells whose
    // formulas changed, and a VBA project.
    for (const Relationship& r : book.workbookRels_.list) {
        const std::string kind = kindOf(r.type);
        if (kind != "calcChain" && kind != "vbaProject")
            continue;
        const std::string target = book.storedName(resolveTarget(book.workbookPart_, r.target));
        book.removed_.push_back(target);
        book.removed_.push_back(relsPartOf(target));
        if (kind == "vbaProject") {
            book.macrosLeftOut_ = true;
            if (const std::string* rels = book.part(relsPartOf(target)))
                for (const Relationship& signature : Relationships::parse(*rels).list)
                    book.removed_.push_back(book.storedName(resolveTarget(target, signature.target)));
        }
    }
    std::erase_if(book.workbookRels_.list, [](const Relationship& r) {
        return kindOf(r.type) == "calcChain" || kindOf(r.type) == "vbaProject";
    });
    for (const std::string& gone : book.removed_)
        book.types_.removeOverride(gone);
    book.types_.setOverride(book.workbookPart_, kMainType);

    for (const auto& [name, data] : book.parts_)
        if (book.types_.of(name).find("pivotCacheDefinition") != std::string::npos) {
            const pugi::xml_document doc = parse(*data, name);
            const pugi::xml_node source = child(child(doc.document_element(), "cacheSource"), "worksheetSource");
            if (source.attribute("sheet"))
                book.pivotSources_.push_back(xls::fromUtf8(source.attribute("sheet").value()));
        }

    for (const auto& [name, data] : book.parts_)
        if (book.types_.of(name).find("spreadsheetml.table+xml") != std::string::npos) {
            const pugi::xml_document doc = parse(*data, name);
            for (const char* attribute : {"name", "displayName"})
                if (const pugi::xml_attribute a = doc.document_element().attribute(attribute))
                    book.tableNames_.push_back(xls::fromUtf8(a.value()));
        }

    // The worksheets read side by side: each one's cells indexed and its text laid out. Rows written
    // plainly are read from the text, so the sheet is parsed without them where it can be.
    std::vector<std::shared_ptr<SheetIndex>> indexes(book.sheets_.size());
    forEachInParallel(book.sheets_.size(), [&](std::size_t k) {
        Sheet& sheet = book.sheets_[k];
        if (sheet.kind != "worksheet")
            return;
        const std::string& text = *book.part(sheet.part);
        auto doc = std::make_unique<pugi::xml_document>();
        if (!SheetRows::parseWithoutRows(*doc, text))
            parseInto(*doc, text, sheet.part);
        auto index = std::make_shared<SheetIndex>();
        if (!indexSheet(*doc, text, book.sharedStrings_, *index)) {
            parseInto(*doc, text, sheet.part);
            indexSheet(*doc, text, book.sharedStrings_, *index);
        }
        indexes[k] = std::move(index);
        sheet.text = std::make_shared<const SheetText>(std::move(doc), text, sheet.part, book.tableNames_);
    });
    for (std::size_t k = 0; k < book.sheets_.size(); ++k) {
        Sheet& sheet = book.sheets_[k];
        if (sheet.kind != "worksheet")
            continue;
        std::shared_ptr<SheetIndex>& index = indexes[k];
        if (const std::string* rels = book.part(relsPartOf(sheet.part))) {
            for (const Relationship& r : Relationships::parse(*rels).list) {
                if (kindOf(r.type) == "pivotTable")
                    index->pivotTables = true;
                if (kindOf(r.type) != "drawing" || r.external)
                    continue;
                const std::string drawing = book.storedName(resolveTarget(sheet.part, r.target));
                if (const std::string* drawingRels = book.part(relsPartOf(drawing)))
                    for (const Relationship& c : Relationships::parse(*drawingRels).list)
                        if (kindOf(c.type) == "chart")
                            book.chartOwner_[book.storedName(resolveTarget(drawing, c.target))] = sheet.origin;
            }
        }
        sheet.index = std::move(index);
    }
    return book;
}

// -- sheets ----------------------------------------------------------------------------------

Workbook::Sheet& Workbook::sheetAt(int position)
{
    if (position < 1 || position > sheetCount())
        throw xls::Error(xls::ErrorCode::SheetNotFound, "position " + std::to_string(position));
    return sheets_[static_cast<std::size_t>(position - 1)];
}

const Workbook::Sheet& Workbook::sheetAt(int position) const
{
    return const_cast<Workbook*>(this)->sheetAt(position);
}

const Workbook::Sheet& Workbook::worksheetAt(int position) const
{
    const Sheet& sheet = sheetAt(position);
    if (sheet.kind != "worksheet")
        throw xls::Error(xls::ErrorCode::Unsupported, "the sheet \"" + xls::utf8(sheet.name) + "\" is a " + sheet.kind +
                                                          ", not a worksheet: the form must be on worksheets");
    return sheet;
}

const std::u16string& Workbook::sheetName(int position) const
{
    return sheetAt(position).name;
}

int Workbook::sheetPosition(const std::u16string& name) const
{
    for (std::size_t k = 0; k < sheets_.size(); ++k)
        if (xls::sameText(sheets_[k].name, name))
            return static_cast<int>(k) + 1;
    throw xls::Error(xls::ErrorCode::SheetNotFound, "\"" + xls::utf8(name) + "\"");
}

void Workbook::validateName(const std::u16string& name, int except) const
{
    if (name.empty() || name.size() > 31 || name.find_first_of(u":\\/?*[]") != std::u16string::npos ||
        name.front() == u'\'' || name.back() == u'\'')
        throw xls::Error(xls::ErrorCode::InvalidSheetName, "\"" + xls::utf8(name) + "\"");
    for (int k = 1; k <= sheetCount(); ++k)
        if (k != except && xls::sameText(sheets_[static_cast<std::size_t>(k - 1)].name, name))
            throw xls::Error(xls::ErrorCode::DuplicateSheetName, "\"" + xls::utf8(name) + "\"");
}

void Workbook::renameSheet(int position, const std::u16string& name)
{
    validateName(name, position);
    for (const std::u16string& source : pivotSources_)
        if (xls::sameText(source, sheetAt(position).name) && !sheetAt(position).copy)
            throw xls::Error(xls::ErrorCode::Unsupported,
                             "a pivot table reads the sheet \"" + xls::utf8(source) +
                                 "\" by its name, which the form changes: base the pivot table on a sheet of its own");
    sheetAt(position).name = name;
}

const Workbook::Part* Workbook::partEntry(const std::string& name) const
{
    if (auto it = parts_.find(name); it != parts_.end())
        return &it->second;
    for (const auto& [n, data] : parts_)
        if (samePartName(n, name))
            return &data;
    return nullptr;
}

std::string Workbook::storedName(const std::string& name) const
{
    if (parts_.count(name))
        return name;
    for (const auto& [n, data] : parts_)
        if (samePartName(n, name))
            return n;
    return name;
}

const std::string* Workbook::part(const std::string& name) const
{
    const Part* entry = partEntry(name);
    return entry ? entry->get() : nullptr;
}

void Workbook::putPart(const std::string& name, std::string data)
{
    if (!parts_.count(name))
        order_.push_back(name);
    parts_[name] = std::make_shared<const std::string>(std::move(data));
}

std::string Workbook::newPartName(const std::string& like) const
{
    const std::size_t slash = like.rfind('/') + 1;
    std::size_t dot = like.rfind('.');
    if (dot == std::string::npos || dot < slash)
        dot = like.size();
    std::size_t stemEnd = dot;
    while (stemEnd > slash && std::isdigit(static_cast<unsigned char>(like[stemEnd - 1])))
        --stemEnd;
    const std::string stem = like.substr(0, stemEnd), extension = like.substr(dot);
    for (int n = 1;; ++n) {
        // A name is free when neither it nor relationships of its (left by a writer for a part
        // that is gone) are in the package: the copy would take those over.
        const std::string name = stem + std::to_string(n) + extension;
        if (!part(name) && !part(relsPartOf(name)))
            return name;
    }
}

// Copies a part and, through its relationships, the parts it owns; images and the like are shared.
// `copied` maps each source part to its copy, so that a part reached twice is copied once.
std::string Workbook::copyPartTree(const std::string& source, int owner, std::map<std::string, std::string>& copied,
                                   TableNames& tables)
{
    if (auto it = copied.find(source); it != copied.end())
        return it->second;
    const Part* data = partEntry(source);
    if (!data)
        throw xls::Error(xls::ErrorCode::DamagedPackage, "the part " + source + " is missing");
    const std::string target = newPartName(source);
    copied[source] = target;
    // The copy's bytes are its source's until it is saved: shared, not copied.
    order_.push_back(target);
    parts_[target] = *data;
    if (types_.hasOverride(source))
        types_.setOverride(target, types_.of(source));
    if (const std::string* rels = part(relsPartOf(source))) {
        Relationships copiedRels = Relationships::parse(*rels);
        for (Relationship& r : copiedRels.list) {
            if (r.external)
                continue;
            const std::string kind = kindOf(r.type);
            const std::string from = storedName(resolveTarget(source, r.target));
            if (kind == "pivotTable")
                throw xls::Error(xls::ErrorCode::Unsupported,
                                 "a pivot table on a form sheet cannot be copied: move it to a sheet of its own");
            if (sharedTarget(kind) || !part(from)) {
                r.target = relativeTarget(target, from);
                continue;
            }
            const std::string to = copyPartTree(from, owner, copied, tables);
            r.target = relativeTarget(target, to);
            if (kind == "chart")
                chartOwner_[to] = owner;
            if (kind == "table")
                tables.push_back(renameTableCopy(to));
        }
        putPart(relsPartOf(target), copiedRels.serialize());
    }
    return target;
}

// A copied table takes an id and a name no other table has; its own formulas name it so. The
// template's name and the copy's.
std::pair<std::u16string, std::string> Workbook::renameTableCopy(const std::string& tablePart)
{
    // Formulas name a table by its display name; no two tables share a name or a display name,
    // whatever their case.
    auto shownName = [](const pugi::xml_node t) {
        return std::string(t.attribute(t.attribute("displayName") ? "displayName" : "name").value());
    };
    int highest = 0;
    std::set<std::u16string> names;
    for (const auto& [name, data] : parts_) {
        if (name == tablePart || types_.of(name).find("spreadsheetml.table+xml") == std::string::npos)
            continue;
        const pugi::xml_document doc = parse(*data, name);
        const pugi::xml_node other = doc.document_element();
        highest = std::max(highest, other.attribute("id").as_int());
        names.insert(xls::foldCase(xls::fromUtf8(other.attribute("name").value())));
        names.insert(xls::foldCase(xls::fromUtf8(shownName(other))));
    }
    pugi::xml_document doc = parse(*part(tablePart), tablePart);
    pugi::xml_node table = doc.document_element();
    const std::string was = shownName(table);
    std::string name = was;
    for (int n = 2; names.count(xls::foldCase(xls::fromUtf8(name))); ++n)
        name = was + "_" + std::to_string(n);
    table.attribute("id").set_value(highest + 1);
    table.attribute("name").set_value(name.c_str());
    if (table.attribute("displayName"))
        table.attribute("displayName").set_value(name.c_str());
    const std::u16string template_ = xls::fromUtf8(was);
    renameFormulas(table, {{}, [&](const std::string& written) {
                               return xls::sameText(xls::fromUtf8(written), template_) ? name : std::string();
                           }});
    putPart(tablePart, serialize(doc));
    return {template_, name};
}

std::vector<int> Workbook::copySheetsToEnd(const std::vector<int>& positions)
{
    // All checked before anything changes.
    for (const int p : positions) {
        const Sheet& s = worksheetAt(p);
        if (s.index && s.index->pivotTables)
            throw xls::Error(xls::ErrorCode::Unsupported,
                             "the sheet \"" + xls::utf8(s.name) +
                                 "\" holds a pivot table, which cannot be copied: move it to a sheet of its own");
    }
    const Workbook before = *this;
    try {
        std::map<int, int> group;  // each source sheet -> its copy
        const int first = sheetCount();
        for (std::size_t k = 0; k < positions.size(); ++k)
            group[positions[k] - 1] = first + static_cast<int>(k);
        std::vector<int> made;
        for (const int p : positions) {
            Sheet copy = sheetAt(p);
            const int index = static_cast<int>(sheets_.size());
            // What the source's references meant, the copy's mean through the group.
            std::map<int, int> redirect;
            for (std::size_t t = 0; t < templateNames_.size(); ++t) {
                const auto r = copy.redirect.find(static_cast<int>(t));
                const int meant = r == copy.redirect.end() ? static_cast<int>(t) : r->second;
                const auto g = group.find(meant);
                redirect[static_cast<int>(t)] = g == group.end() ? meant : g->second;
            }
            copy.redirect = std::move(redirect);
            copy.copy = true;
            copy.written.clear();
            copy.name = u"";
            std::map<std::string, std::string> copied;
            copy.tables.clear();
            copy.part = copyPartTree(sheetAt(p).part, index, copied, copy.tables);
            copy.relId =
                workbookRels_.add("http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet",
                                  relativeTarget(workbookPart_, copy.part));
            if (!types_.hasOverride(copy.part))
                types_.setOverride(copy.part, kWorksheetType);
            sheets_.push_back(std::move(copy));
            made.push_back(index + 1);
        }
        // Names as the spreadsheet application gives them: "Name (2)", then (3)...
        for (std::size_t k = 0; k < positions.size(); ++k) {
            const std::u16string& base = sheetAt(positions[k]).name;
            for (int n = 2;; ++n) {
                const std::u16string suffix = u" (" + xls::fromUtf8(std::to_string(n)) + u")";
                const std::u16string name = base.substr(0, 31 - suffix.size()) + suffix;
                bool used = false;
                for (const Sheet& s : sheets_)
                    used = used || xls::sameText(s.name, name);
                if (!used) {
                    sheets_[static_cast<std::size_t>(made[k] - 1)].name = name;
                    break;
                }
            }
        }
        return made;
    } catch (...) {
        *this = before;
        throw;
    }
}

// -- cells -----------------------------------------------------------------------------------

bool Workbook::isDateStyle(int style) const
{
    if (style < 0 || static_cast<std::size_t>(style) >= styles_->cellFormats.size())
        return false;
    const int format = styles_->cellFormats[static_cast<std::size_t>(style)];
    if (const auto it = styles_->formats.find(format); it != styles_->formats.end())
        return xls::formatShowsDate(it->second);
    return format >= 0 && format < 0x10000 && xls::isBuiltInDate(static_cast<std::uint16_t>(format));
}

bool Workbook::isTextStyle(int style) const
{
    if (style < 0 || static_cast<std::size_t>(style) >= styles_->cellFormats.size())
        return false;
    const int format = styles_->cellFormats[static_cast<std::size_t>(style)];
    if (const auto it = styles_->formats.find(format); it != styles_->formats.end())
        return it->second == u"@";
    return format == 49;
}

namespace {

// The style a value written at the cell takes: the cell's own, else its row's, else its column's.
int styleAt(const SheetIndex& index, std::uint32_t row, std::uint32_t col)
{
    if (const SheetIndex::Cell* cell = entryAt(index.cells, key(row, col)))
        return cell->style;
    if (const auto it = index.rowStyles.find(row); it != index.rowStyles.end())
        return it->second;
    for (const SheetIndex::Column& c : index.columns)
        if (col >= c.first && col <= c.last)
            return c.style;
    return 0;
}

}  // namespace

bool Workbook::cellShowsDates(int position, const std::string& address) const
{
    const xls::CellAddress a = xls::CellAddress::parse(address);
    return isDateStyle(styleAt(*worksheetAt(position).index, a.row, a.col));
}

std::vector<xls::CellRange> Workbook::mergedRanges(int position) const
{
    return worksheetAt(position).index->merged;
}

bool Workbook::cellHoldsFormula(int position, const std::string& address) const
{
    const xls::CellAddress a = xls::CellAddress::parse(address);
    const SheetIndex& index = *worksheetAt(position).index;
    const SheetIndex::Cell* cell = entryAt(index.cells, key(a.row, a.col));
    return cell && cell->formula;
}

CellRead Workbook::cellAsOpened(int position, const std::string& address) const
{
    const xls::CellAddress a = xls::CellAddress::parse(address);
    const CellRead* cell = entryAt(worksheetAt(position).index->opened, key(a.row, a.col));
    return cell ? *cell : CellRead{};
}

void Workbook::setCell(int position, const std::string& address, const xls::CellValue& value)
{
    worksheetAt(position);
    Sheet& sheet = sheetAt(position);
    const xls::CellAddress a = xls::CellAddress::parse(address);
    const SheetIndex& index = *sheet.index;
    const SheetIndex::Cell* held = entryAt(index.cells, key(a.row, a.col));
    const bool exists = held != nullptr;
    if (exists && held->sharedMaster)
        throw xls::Error(xls::ErrorCode::FormulaCell,
                         address + " starts a shared formula: write the formula into each cell of its own");
    for (const xls::CellRange& r : index.arrays)
        if (r.contains(a.row, a.col))
            throw xls::Error(xls::ErrorCode::FormulaCell, address + " lies in an array formula");
    const int style = styleAt(index, a.row, a.col);

    CellRead reading;
    reading.style = style;
    auto number = [&](double v) {
        if (!std::isfinite(v))
            throw xls::Error(xls::ErrorCode::InvalidValue, "a number that is not finite");
        reading.kind = CellRead::Kind::Number;
        reading.number = v;
    };
    auto text = [&](std::u16string t) {
        if (t.size() > 32767)
            throw xls::Error(xls::ErrorCode::InvalidValue, "text longer than 32 767 characters");
        reading.kind = CellRead::Kind::Text;
        reading.text = std::move(t);
    };
    switch (value.kind) {
    case xls::CellValue::Kind::Empty: reading.kind = CellRead::Kind::Blank; break;
    case xls::CellValue::Kind::Number: number(value.number); break;
    case xls::CellValue::Kind::Date:
        if (isDateStyle(style)) {
            number(xls::dateSerial(value.year, value.month, value.day, date1904_));
        } else {
            text(xls::dateText(value.year, value.month, value.day));
        }
        break;
    case xls::CellValue::Kind::Text:
        if (value.text.empty()) {
            reading.kind = CellRead::Kind::Blank;
        } else if (xls::isPlainDecimal(value.text) && !isTextStyle(style)) {
            number(xls::plainDecimalValue(value.text));
        } else {
            text(cellTextRoundTrip(xls::withLineFeeds(value.text)));
        }
        break;
    }
    // An empty value leaves a cell that is not there as it is.
    if (reading.kind == CellRead::Kind::Blank && !exists) {
        sheet.written.erase(key(a.row, a.col));
        return;
    }
    sheet.written[key(a.row, a.col)] = reading;
}

// -- saving ----------------------------------------------------------------------------------

// The name a reference written in a part that `owner` keeps must carry now; empty when unchanged.
std::string Workbook::renamedFor(int owner, const std::string& written) const
{
    const std::u16string name = xls::fromUtf8(written);
    for (std::size_t t = 0; t < templateNames_.size(); ++t) {
        if (!xls::sameText(templateNames_[t], name))
            continue;
        int meant = static_cast<int>(t);
        if (owner >= 0) {
            const auto& redirect = sheets_[static_cast<std::size_t>(owner)].redirect;
            if (const auto it = redirect.find(meant); it != redirect.end())
                meant = it->second;
        }
        const std::string now = xls::utf8(sheets_[static_cast<std::size_t>(meant)].name);
        return now == written ? std::string() : now;
    }
    return {};
}

// A formula kept by the sheet `owner` (-1: the workbook's) names a table: the name it must carry
// now, when that sheet is a copy with its own copy of the table; empty when unchanged.
std::string Workbook::tableRenamedFor(int owner, const std::string& written) const
{
    if (owner < 0)
        return {};
    const std::u16string name = xls::fromUtf8(written);
    for (const auto& [template_, copy] : sheets_[static_cast<std::size_t>(owner)].tables)
        if (xls::sameText(template_, name))
            return copy;
    return {};
}

FormulaRenames Workbook::renamesFor(int owner) const
{
    return {[this, owner](const std::string& name) { return renamedFor(owner, name); },
            [this, owner](const std::string& name) { return tableRenamedFor(owner, name); }};
}

std::string Workbook::savedSheetXml(const Sheet& sheet) const
{
    return sheet.text->render(sheet.written, sheet.copy, renamesFor(static_cast<int>(&sheet - sheets_.data())));
}

std::string Workbook::savedChartXml(const std::string& xml, int owner) const
{
    pugi::xml_document doc = parse(xml, "a chart");
    renameFormulas(doc.document_element(), renamesFor(owner));
    return serialize(doc);
}

std::string Workbook::savedWorkbookXml() const
{
    pugi::xml_document doc = parse(*part(workbookPart_), workbookPart_);
    pugi::xml_node root = doc.document_element();
    pugi::xml_node sheetsNode = child(root, "sheets");
    std::vector<pugi::xml_node> originals;
    for (pugi::xml_node s : sheetsNode.children())
        if (local(s) == "sheet")
            originals.push_back(s);
    int sheetId = nextSheetId_;
    for (const Sheet& sheet : sheets_) {
        pugi::xml_node node = sheet.copy ? sheetsNode.append_copy(originals[static_cast<std::size_t>(sheet.origin)])
                                         : originals[static_cast<std::size_t>(sheet.origin)];
        node.attribute("name").set_value(xls::utf8(sheet.name).c_str());
        if (sheet.copy) {
            node.attribute("sheetId").set_value(sheetId++);
            prefixed(node, "id").set_value(sheet.relId.c_str());
        }
    }

    // Defined names follow the sheets' names; a copy gets its own copies of its source's local names.
    if (pugi::xml_node names = child(root, "definedNames")) {
        std::vector<pugi::xml_node> originalsOfNames;
        for (pugi::xml_node n : names.children())
            if (local(n) == "definedName")
                originalsOfNames.push_back(n);
        for (pugi::xml_node n : originalsOfNames) {
            const int owner = n.attribute("localSheetId") ? n.attribute("localSheetId").as_int() : -1;
            const bool local = owner >= 0 && owner < static_cast<int>(templateNames_.size());
            for (std::size_t k = 0; local && k < sheets_.size(); ++k) {
                if (!sheets_[k].copy || sheets_[k].origin != owner)
                    continue;
                pugi::xml_node made = names.append_copy(n);
                made.attribute("localSheetId").set_value(static_cast<int>(k));
                renameIn(made, renamesFor(static_cast<int>(k)));
            }
            renameIn(n, renamesFor(local ? owner : -1));
        }
    }

    pugi::xml_node calc = child(root, "calcPr");
    if (!calc) {
        pugi::xml_node after;
        for (const char* name : {"sheets", "functionGroups", "externalReferences", "definedNames"})
            if (pugi::xml_node n = child(root, name))
                after = n;
        calc = root.insert_child_after("calcPr", after);
    }
    calc.remove_attribute("fullCalcOnLoad");
    calc.append_attribute("fullCalcOnLoad").set_value("1");
    return serialize(doc);
}

// The document's properties name the sheets: the names as saved, when the list is the one the
// spreadsheet application writes; otherwise the list goes, rather than name sheets that are not.
std::string Workbook::savedAppXml(const std::string& xml) const
{
    pugi::xml_document doc = parse(xml, "docProps/app.xml");
    pugi::xml_node root = doc.document_element();
    pugi::xml_node pairs = child(root, "HeadingPairs"), titles = child(root, "TitlesOfParts");
    if (!pairs && !titles)
        return xml;
    bool rewritten = false;
    pugi::xml_node pairVector = child(pairs, "vector"), titleVector = child(titles, "vector");
    std::vector<pugi::xml_node> variants, titleItems;
    for (pugi::xml_node v : pairVector.children())
        if (local(v) == "variant")
            variants.push_back(v);
    for (pugi::xml_node t : titleVector.children())
        if (local(t) == "lpstr")
            titleItems.push_back(t);
    if (variants.size() >= 2) {
        pugi::xml_node count = child(variants[1], "i4");
        const std::size_t listed = count ? count.text().as_uint() : 0;
        bool matches = listed == templateNames_.size() && titleItems.size() >= listed;
        for (std::size_t k = 0; matches && k < listed; ++k)
            matches = xls::fromUtf8(titleItems[k].text().get()) == templateNames_[k];
        if (matches && !titleItems.empty()) {
            const std::string itemName = titleItems[0].name();
            for (std::size_t k = 0; k < listed; ++k)
                titleVector.remove_child(titleItems[k]);
            pugi::xml_node before = listed < titleItems.size() ? titleItems[listed] : pugi::xml_node();
            for (const Sheet& s : sheets_) {
                pugi::xml_node item = before ? titleVector.insert_child_before(itemName.c_str(), before)
                                             : titleVector.append_child(itemName.c_str());
                item.text().set(xls::utf8(s.name).c_str());
            }
            count.text().set(static_cast<unsigned>(sheets_.size()));
            titleVector.attribute("size").set_value(static_cast<unsigned>(titleItems.size() - listed + sheets_.size()));
            rewritten = true;
        }
    }
    if (!rewritten) {
        root.remove_child(pairs);
        root.remove_child(titles);
    }
    return serialize(doc);
}

xls::Bytes Workbook::saveToBytes() const
{
    std::map<std::string, std::string> changed;
    changed[workbookPart_] = savedWorkbookXml();
    changed[storedName(relsPartOf(workbookPart_))] = workbookRels_.serialize();
    for (const auto& [chart, owner] : chartOwner_)
        if (const std::string* xml = part(chart))
            changed[chart] = savedChartXml(*xml, owner);
    if (const std::string* app = part("docProps/app.xml"))
        changed[storedName("docProps/app.xml")] = savedAppXml(*app);
    const std::string contentTypes = "[Content_Types].xml", types = types_.serialize();

    // The entries in order, each packed side by side with the others; a worksheet is laid out and
    // packed on the same core, while its text is still at hand there.
    struct Entry {
        const std::string* name;
        const std::string* data;  // the bytes to pack, or
        const Sheet* sheet;       // the worksheet to lay out
    };
    std::map<std::string, const Sheet*> worksheets;
    for (const Sheet& sheet : sheets_)
        if (sheet.kind == "worksheet")
            worksheets[sheet.part] = &sheet;
    std::vector<Entry> entries = {{&contentTypes, &types, nullptr}};
    const std::set<std::string> gone(removed_.begin(), removed_.end());
    for (const std::string& name : order_) {
        if (name == contentTypes || gone.count(name))
            continue;
        if (const auto sheet = worksheets.find(name); sheet != worksheets.end()) {
            entries.push_back({&name, nullptr, sheet->second});
            continue;
        }
        const auto it = changed.find(name);
        entries.push_back({&name, it != changed.end() ? &it->second : &*parts_.at(name), nullptr});
    }
    // The worksheets, the largest parts, first.
    std::vector<std::size_t> sizes;
    for (const Entry& e : entries)
        sizes.push_back(e.sheet ? std::numeric_limits<std::size_t>::max() : e.data->size());
    std::vector<PackedEntry> packed(entries.size());
    forEachInParallel(sizes, [&](std::size_t k) {
        const Entry& e = entries[k];
        packed[k] = e.sheet ? pack(*e.name, savedSheetXml(*e.sheet)) : pack(*e.name, *e.data);
    });
    return writePackedZip(packed);
}

// -- verifying -------------------------------------------------------------------------------

std::vector<std::string> Workbook::verify(xls::ByteView saved) const
{
    // Each worksheet's cells are compared as the checker reads its rows, beside the reading of the
    // others; that the saved workbook lists those parts as these sheets is checked after.
    std::map<std::string, std::size_t> sheetOf;
    std::vector<std::vector<std::string>> found(sheets_.size());
    const auto comparison = [&](std::size_t k) {
        const Sheet& sheet = sheets_[k];
        return std::make_unique<SheetComparison>(xls::utf8(sheet.name),
                                                 sheets_[static_cast<std::size_t>(sheet.origin)].index->opened,
                                                 sheet.written, sharedStrings_, found[k]);
    };
    std::vector<std::unique_ptr<SheetComparison>> comparisons(sheets_.size());
    for (std::size_t k = 0; k < sheets_.size(); ++k)
        if (sheets_[k].kind == "worksheet") {
            sheetOf[sheets_[k].part] = k;
            comparisons[k] = comparison(k);
        }
    std::vector<char> compared(sheets_.size(), 0);
    PackageReaders readers;
    readers.row = [&](const std::string& part, const SheetRows& rows) {
        if (const auto it = sheetOf.find(part); it != sheetOf.end())
            comparisons[it->second]->row(rows);
    };
    readers.restart = [&](const std::string& part) {
        if (const auto it = sheetOf.find(part); it != sheetOf.end()) {
            found[it->second].clear();
            comparisons[it->second] = comparison(it->second);
        }
    };
    readers.parsed = [&](const std::string& part, const std::string& text, const pugi::xml_document& doc) {
        const auto it = sheetOf.find(part);
        if (it == sheetOf.end())
            return;
        const std::size_t k = it->second;
        compared[k] = 1;
        const pugi::xml_node data = child(doc.document_element(), "sheetData");
        // A part the checker did not take for a worksheet is read here.
        if (!comparisons[k]->fed())
            for (SheetRows rows(text, data); rows.next();)
                comparisons[k]->row(rows);
        if (comparisons[k]->ordered()) {
            comparisons[k]->finish();
            return;
        }
        // Cells out of order are put in order first (a cell given twice is kept twice, and found as
        // one nothing wrote).
        found[k].clear();
        std::vector<std::pair<CellKey, CellParts>> cells;
        SheetRows rows(text, data);
        while (rows.next())
            for (const SheetCell& c : rows.cells())
                cells.emplace_back(key(rows.row(), c.col), c.parts);
        std::stable_sort(cells.begin(), cells.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        const std::unique_ptr<SheetComparison> sorted = comparison(k);
        for (const auto& [at, parts] : cells)
            sorted->cell(at, parts);
        sorted->finish();
    };
    PackageParts back;
    std::vector<std::string> differences = readAndCheckPackage(saved, back, readers);
    if (!differences.empty())
        return differences;
    try {
        compareListing(back, compared, differences);
    } catch (const xls::Error& e) {
        differences.push_back(e.what());
    }
    for (const std::vector<std::string>& sheet : found)
        differences.insert(differences.end(), sheet.begin(), sheet.end());
    return differences;
}

// The saved package found whole, read as a reader reads it: the workbook its relationships name,
// the sheets the workbook lists under their names, each in the part its cells were compared from,
// and the shared strings those cells were read with.
void Workbook::compareListing(const PackageParts& back, const std::vector<char>& compared,
                              std::vector<std::string>& differences) const
{
    auto text = [&](const std::string& name) -> const std::string& {
        const std::string* data = back.find(name);
        if (!data)
            throw xls::Error(xls::ErrorCode::DamagedPackage, "the saved workbook has no part " + name);
        return *data;
    };
    const Relationships top = Relationships::parse(text("_rels/.rels"));
    const Relationship* main = top.firstOfKind("officeDocument");
    if (!main)
        throw xls::Error(xls::ErrorCode::DamagedPackage, "the saved workbook has no workbook part");
    const std::string workbookPart = resolveTarget("", main->target);
    const pugi::xml_document* workbook = back.document(workbookPart);
    if (!workbook)
        throw xls::Error(xls::ErrorCode::DamagedPackage, "the saved workbook has no workbook part");
    const Relationships rels = Relationships::parse(text(relsPartOf(workbookPart)));
    // The cells were read with the template's shared strings, which the saved workbook must hold
    // as they were.
    const Relationship* sst = workbookRels_.firstOfKind("sharedStrings");
    const Relationship* savedSst = rels.firstOfKind("sharedStrings");
    const std::string* strings = sst ? part(resolveTarget(workbookPart_, sst->target)) : nullptr;
    const std::string* savedStrings = savedSst ? back.find(resolveTarget(workbookPart, savedSst->target)) : nullptr;
    if ((strings != nullptr) != (savedStrings != nullptr) || (strings && *strings != *savedStrings))
        differences.push_back("the saved workbook's shared strings are not the template's");

    std::vector<std::pair<std::u16string, std::string>> listed;  // each sheet's name and part
    for (const pugi::xml_node s : child(workbook->document_element(), "sheets").children()) {
        if (local(s) != "sheet")
            continue;
        const Relationship* rel = rels.byId(prefixed(s, "id").value());
        listed.emplace_back(xls::fromUtf8(s.attribute("name").value()),
                            rel && !rel->external ? resolveTarget(workbookPart, rel->target) : std::string());
    }
    if (listed.size() != sheets_.size()) {
        differences.push_back("the saved workbook has " + std::to_string(listed.size()) + " sheets, not " +
                              std::to_string(sheets_.size()));
        return;
    }
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
        const Sheet& sheet = sheets_[k];
        const std::string name = xls::utf8(sheet.name);
        if (listed[k].first != sheet.name)
            differences.push_back("sheet " + std::to_string(k + 1) + " is named \"" + xls::utf8(listed[k].first) +
                                  "\", not \"" + name + "\"");
        else if (sheet.kind == "worksheet" && (!samePartName(listed[k].second, sheet.part) || !compared[k]))
            differences.push_back("sheet \"" + name + "\" is not in the worksheet part " + sheet.part);
    }
}

}  // namespace ooxml
