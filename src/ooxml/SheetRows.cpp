#include "ooxml/SheetRows.h"

#include "ooxml/XmlParts.h"
#include "xls/Error.h"

#include <algorithm>

namespace ooxml {

// The text is read through its terminating '\0', which none of the tests below takes for a part of
// a row: every loop stops there, and the row is then read from its elements.
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

const char* skipSpace(const char* p)
{
    while (isSpace(*p))
        ++p;
    return p;
}

// What may follow an element's name in its tag.
bool endsName(char c)
{
    return isSpace(c) || c == '/' || c == '>';
}

// Letters and digits only: an attribute value no escape, white space or normalisation can touch.
bool plain(std::string_view v)
{
    for (const char c : v)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number of 1 to `digits` decimal digits.
bool digitsValue(std::string_view v, std::size_t digits, std::uint32_t& n)
{
    if (v.empty() || v.size() > digits)
        return false;
    n = 0;
    for (const char c : v) {
        if (!isDigit(c))
            return false;
        n = n * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return true;
}

// Names as the rows of spreadsheets write them: ASCII letters, digits and "_:.-".
bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// The character an escape of XML's own stands for ("&amp;" and the like); '\0' for any other.
char predefined(std::string_view escape)
{
    if (escape == "&amp;")
        return '&';
    if (escape == "&lt;")
        return '<';
    if (escape == "&gt;")
        return '>';
    if (escape == "&quot;")
        return '"';
    if (escape == "&apos;")
        return '\'';
    return '\0';
}

// At '&': the length of a well-formed reference there (one of XML's own, or a character's number),
// 0 where there is none.
std::size_t reference(const char* p)
{
    std::size_t n = 1;
    if (p[1] == '#') {
        const bool hex = p[2] == 'x';
        n = hex ? 3 : 2;
        const std::size_t first = n;
        while ((p[n] >= '0' && p[n] <= '9') || (hex && ((p[n] >= 'a' && p[n] <= 'f') || (p[n] >= 'A' && p[n] <= 'F'))))
            ++n;
        return n > first && n < first + 8 && p[n] == ';' ? n + 1 : 0;
    }
    while (n < 6 && p[n] && p[n] != ';')
        ++n;
    return p[n] == ';' && predefined(std::string_view(p, n + 1)) ? n + 1 : 0;
}

// Text up to the next '<' as a reader takes it, XML's own escapes standing for their characters
// (the text is then made anew in `store`); false for a character reference, a carriage return
// (which readers turn into a line feed), or, where `cellEscapes`, the '_' that may start a cell
// text's own escape.
bool textUpTo(const char*& p, std::string_view& text, std::deque<std::string>& store, bool cellEscapes)
{
    const char* const from = p;
    std::string* made = nullptr;
    for (; *p != '<'; ++p) {
        if (!*p || *p == '\r' || (cellEscapes && *p == '_'))
            return false;
        if (*p == '&') {
            const std::size_t n = reference(p);
            const char c = n ? predefined(std::string_view(p, n)) : '\0';
            if (!c)
                return false;
            if (!made)
                made = &store.emplace_back(from, static_cast<std::size_t>(p - from));
            *made += c;
            p += n - 1;
        } else if (made) {
            *made += *p;
        }
    }
    text = made ? std::string_view(*made) : std::string_view(from, static_cast<std::size_t>(p - from));
    return true;
}

// One attribute from `p` (after white space) or the end of the tag: 1 for an attribute, its name
// and value given; 0 for the tag's end, `empty` telling "/>"; -1 where the tag is not read.
int attribute(const char*& p, std::string_view& name, std::string_view& value, bool& empty)
{
    p = skipSpace(p);
    if (*p == '>') {
        ++p;
        empty = false;
        return 0;
    }
    if (*p == '/') {
        if (p[1] != '>')
            return -1;
        p += 2;
        empty = true;
        return 0;
    }
    // An attribute follows white space, and its name is a name.
    if (!isSpace(p[-1]) || !isNameStart(*p))
        return -1;
    const char* from = p;
    while (isNameChar(*p))
        ++p;
    name = std::string_view(from, static_cast<std::size_t>(p - from));
    p = skipSpace(p);
    if (*p != '=')
        return -1;
    p = skipSpace(p + 1);
    const char quote = *p;
    if (quote != '"' && quote != '\'')
        return -1;
    from = ++p;
    for (; *p != quote; ++p)
        if (!*p || *p == '<' || (*p == '&' && !reference(p)))
            return -1;
    value = std::string_view(from, static_cast<std::size_t>(p - from));
    ++p;
    return 1;
}

// Every attribute up to the tag's end, none of them wanted.
bool skipAttributes(const char*& p, bool& empty)
{
    std::string_view name, value;
    int got;
    while ((got = attribute(p, name, value, empty)) == 1) {
    }
    return got == 0;
}

// An attribute's value as written is the value a reader takes: no escape or line end in it.
bool asWritten(std::string_view value)
{
    return value.find_first_of("&\r") == std::string_view::npos;
}

// A formula's attributes up to the tag's end, its type and range kept.
bool formulaAttributes(const char*& p, CellParts& parts, bool& empty)
{
    std::string_view name, value;
    int got;
    while ((got = attribute(p, name, value, empty)) == 1) {
        if (name != "t" && name != "ref")
            continue;
        if (!asWritten(value))
            return false;
        // Of an attribute given twice, a reader takes the first.
        std::string_view& kept = name == "t" ? parts.formulaType : parts.formulaRef;
        if (!kept.data())
            kept = value;
    }
    return got == 0;
}

// A start tag from its '<' to past its '>' in the common form: each attribute after one space,
// its name straight before `="`, and the tag's end straight after the last value.
bool commonForm(const char* p, const char* end)
{
    for (++p; p < end && isNameChar(*p);)
        ++p;
    while (p < end && *p == ' ') {
        ++p;
        while (p < end && isNameChar(*p))
            ++p;
        if (end - p < 3 || p[0] != '=' || p[1] != '"')
            return false;
        p = std::find(p + 2, end, '"');
        if (p == end)
            return false;
        ++p;
    }
    return (end - p == 1 && *p == '>') || (end - p == 2 && p[0] == '/' && p[1] == '>');
}

// At "</" + name, with white space before the ">" allowed: past it.
bool closing(const char*& p, std::string_view name)
{
    if (p[0] != '<' || p[1] != '/')
        return false;
    for (std::size_t k = 0; k < name.size(); ++k)
        if (p[2 + k] != name[k])
            return false;
    const char* q = skipSpace(p + 2 + name.size());
    if (*q != '>')
        return false;
    p = q + 1;
    return true;
}

// At "<" + name followed by the end of the name.
bool opening(const char* p, std::string_view name)
{
    if (p[0] != '<')
        return false;
    for (std::size_t k = 0; k < name.size(); ++k)
        if (p[1 + k] != name[k])
            return false;
    return endsName(p[1 + name.size()]);
}

// "<is><t>text</t></is>": one run of text with no escapes (of XML or of the cell text's own), read
// as it stands; white space between the elements is nothing to a reader, white space in the text
// is kept.
bool plainInlineString(const char*& p, std::string_view& text, std::deque<std::string>& store)
{
    bool empty = false;
    p += 3;
    if (!skipAttributes(p, empty) || empty)
        return false;
    p = skipSpace(p);
    if (!opening(p, "t"))
        return false;
    p += 2;
    if (!skipAttributes(p, empty))
        return false;
    // Its pointer, never null even for an empty text, marks the string as read.
    text = std::string_view(p, 0);
    if (!empty && (!textUpTo(p, text, store, true) || !closing(p, "t")))
        return false;
    p = skipSpace(p);
    return closing(p, "is");
}

// The rest of a cell's start tag as spreadsheet programs write most: ` r="B2"`, then ` s="3"` and
// ` t="s"` where there are, then "/>" or ">", each after one space and in double quotes. False,
// with nothing taken, for any other, which is then read attribute by attribute.
bool commonCellTag(const char*& p, SheetCell& cell, bool& empty)
{
    const char* q = p;
    if (q[0] != ' ' || q[1] != 'r' || q[2] != '=' || q[3] != '"')
        return false;
    const char* const ref = q += 4;
    while ((*q >= 'A' && *q <= 'Z') || isDigit(*q))
        ++q;
    if (*q != '"')
        return false;
    const std::string_view address(ref, static_cast<std::size_t>(q - ref));
    ++q;
    std::uint32_t style = 0;
    if (q[0] == ' ' && q[1] == 's' && q[2] == '=' && q[3] == '"') {
        const char* const digits = q += 4;
        while (isDigit(*q))
            ++q;
        if (*q != '"' || !digitsValue(std::string_view(digits, static_cast<std::size_t>(q - digits)), 9, style))
            return false;
        ++q;
    }
    std::string_view type;
    if (q[0] == ' ' && q[1] == 't' && q[2] == '=' && q[3] == '"') {
        const char* const t = q += 4;
        while (*q != '"' && *q)
            ++q;
        type = std::string_view(t, static_cast<std::size_t>(q - t));
        if (*q != '"' || !plain(type))
            return false;
        ++q;
    }
    if (q[0] == '/' && q[1] == '>')
        empty = true;
    else if (q[0] == '>')
        empty = false;
    else
        return false;
    if (!cellRef(address, cell.refRow, cell.col))
        return false;
    cell.ref = address;
    cell.hasRef = cell.validRef = true;
    cell.parts.style = static_cast<int>(style);
    cell.parts.type = type;
    p = q + (empty ? 2 : 1);
    return true;
}

// A cell's children, from just after its start tag to its end tag.
bool plainChildren(const char*& p, CellParts& parts, std::deque<std::string>& store)
{
    for (;;) {
        p = skipSpace(p);
        if (closing(p, "c"))
            return true;
        // A value, whose text is read, or a formula, whose text is only passed over.
        const bool value = opening(p, "v") && !parts.hasValue;
        if (value || (opening(p, "f") && !parts.hasFormula)) {
            bool empty = false;
            p += 2;
            if (!(value ? skipAttributes(p, empty) : formulaAttributes(p, parts, empty)))
                return false;
            (value ? parts.hasValue : parts.hasFormula) = true;
            if (empty)
                continue;
            if (value && !textUpTo(p, parts.value, store, false))
                return false;
            for (; !value && *p != '<'; ++p)
                if (!*p || (*p == '&' && !reference(p)))
                    return false;
            if (!closing(p, value ? "v" : "f"))
                return false;
        } else if (opening(p, "is") && parts.inlineText.data() == nullptr) {
            if (!plainInlineString(p, parts.inlineText, store))
                return false;
        } else {
            return false;
        }
    }
}

}  // namespace

CellParts partsOf(const pugi::xml_node c)
{
    CellParts parts;
    for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        if (name[0] == 's' && name[1] == '\0')
            parts.style = a.as_int();
        else if (name[0] == 't' && name[1] == '\0')
            parts.type = a.value();
    }
    for (pugi::xml_node n = c.first_child(); n; n = n.next_sibling()) {
        if (!parts.valueElement && isElement(n, "v"))
            parts.valueElement = n.internal_object();
        else if (!parts.formulaElement && isElement(n, "f"))
            parts.formulaElement = n.internal_object();
        else if (!parts.inlineElement && isElement(n, "is"))
            parts.inlineElement = n.internal_object();
    }
    parts.hasValue = parts.valueElement != nullptr;
    parts.hasFormula = parts.formulaElement != nullptr;
    if (parts.hasValue)
        parts.value = parts.v().text().get();
    if (parts.hasFormula) {
        if (const pugi::xml_attribute t = parts.f().attribute("t"))
            parts.formulaType = t.value();
        if (const pugi::xml_attribute ref = parts.f().attribute("ref"))
            parts.formulaRef = ref.value();
    }
    return parts;
}

SheetRows::SheetRows(const std::string& text, const pugi::xml_node sheetData)
    : text_(text), rowElement_(sheetData.first_child())
{
    // A sheetData parsed empty from a part whose text holds rows (see parseWithoutRows): its rows
    // are read from the text alone, up to the part's last "</sheetData>".
    const std::ptrdiff_t at = sheetData && !rowElement_ ? sheetData.offset_debug() : -1;
    if (at > 0 && text.compare(static_cast<std::size_t>(at) - 1, 11, "<sheetData>") == 0) {
        fromText_ = true;
        at_ = static_cast<std::size_t>(at) + 10;
        end_ = text.rfind("</sheetData>");
    }
}

bool SheetRows::parseWithoutRows(pugi::xml_document& doc, const std::string& text)
{
    const std::size_t open = text.find("<sheetData>");
    const std::size_t close = text.rfind("</sheetData>");
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    std::string outline = text.substr(0, open + 11);
    outline.append(text, close);
    try {
        parseInto(doc, outline, "");
    } catch (const xls::Error&) {
        return false;
    }
    // The sheetData is the worksheet's, where the text was cut, and not in a comment or the like.
    const pugi::xml_node data = child(doc.document_element(), "sheetData");
    return data && !data.first_child() && data.offset_debug() == static_cast<std::ptrdiff_t>(open) + 1;
}

bool SheetRows::next()
{
    if (fromText_) {
        const char* p = skipSpace(text_.c_str() + at_);
        const std::size_t at = static_cast<std::size_t>(p - text_.c_str());
        if (at == end_ && closing(p, "sheetData"))
            return false;
        if (!opening(p, "row") || !scanRow(at)) {
            failed_ = true;
            return false;
        }
        at_ = rowEnd_;
        return true;
    }
    if (started_)
        rowElement_ = rowElement_.next_sibling();
    while (rowElement_ && !isElement(rowElement_, "row"))
        rowElement_ = rowElement_.next_sibling();
    if (!rowElement_)
        return false;
    const std::uint32_t previous = row_;
    const bool first = !started_;
    started_ = true;
    const std::ptrdiff_t at = rowElement_.offset_debug();
    if (at > 0 && static_cast<std::size_t>(at) < text_.size() && scanRow(static_cast<std::size_t>(at) - 1))
        return true;
    readRow();
    if (!refOf(rowElement_))
        row_ = first ? 0 : previous + 1;
    return true;
}

bool SheetRows::commonRowTag() const
{
    return readFromText_ && commonForm(text_.c_str() + rowStart_, text_.c_str() + rowTagEnd_);
}

// The row from its elements.
void SheetRows::readRow()
{
    cells_.clear();
    readFromText_ = false;
    const pugi::xml_attribute ref = refOf(rowElement_);
    rowRef_ = ref.as_uint();
    row_ = rowRef_ - 1;
    const pugi::xml_attribute style = rowElement_.attribute("s");
    rowStyle_ = style && rowElement_.attribute("customFormat").as_bool() ? style.as_int() : -1;
    std::uint32_t col = 0;
    bool first = true;
    for (pugi::xml_node c = rowElement_.first_child(); c; c = c.next_sibling()) {
        if (!isElement(c, "c"))
            continue;
        SheetCell cell;
        if (const pugi::xml_attribute r = refOf(c)) {
            cell.hasRef = true;
            cell.ref = r.value();
            std::uint32_t cc = 0;
            cell.validRef = cellRef(cell.ref, cell.refRow, cc);
            if (cell.validRef)
                col = cc;
            else if (!first)
                ++col;
        } else if (!first) {
            ++col;
        }
        first = false;
        cell.col = col;
        cell.parts = partsOf(c);
        cells_.push_back(cell);
    }
}

// The row element at text_[at], read from the text where it is written plainly: a numbered row of
// cells with addresses, each with at most a value of plain text, a formula and a plain inline
// string. False where it is anything else, leaving it to be read from its elements.
bool SheetRows::scanRow(std::size_t at)
{
    const char* p = text_.c_str() + at;
    if (!opening(p, "row"))
        return false;
    p += 4;
    bool empty = false, haveRef = false;
    std::uint32_t r = 0, style = 0;
    std::string_view name, value, customFormat, styleValue;
    for (int got; (got = attribute(p, name, value, empty)) != 0;) {
        if (got < 0)
            return false;
        if (name == "r") {
            if (haveRef || !digitsValue(value, 7, r) || r == 0 || r > 1048576)
                return false;
            haveRef = true;
        } else if (name == "s") {
            if (styleValue.data() || !digitsValue(value, 9, style))
                return false;
            styleValue = value;
        } else if (name == "customFormat") {
            if (customFormat.data() || !asWritten(value))
                return false;
            customFormat = value;
        }
    }
    if (!haveRef)
        return false;
    // "customFormat" is on as a reader's yes-or-no takes it: by its first character.
    const bool custom =
        !customFormat.empty() && std::string_view("1tTyY").find(customFormat[0]) != std::string_view::npos;
    const int rowStyle = styleValue.data() && custom ? static_cast<int>(style) : -1;
    const std::size_t tagEnd = static_cast<std::size_t>(p - text_.c_str());
    std::size_t count = 0;
    while (!empty) {
        p = skipSpace(p);
        if (closing(p, "row"))
            break;
        if (!opening(p, "c"))
            return false;
        const char* const cellStart = p;
        p += 2;
        if (count == cells_.size())
            cells_.emplace_back();
        // Set field by field: a whole new cell is cleared with a slow string instruction.
        SheetCell& cell = cells_[count++];
        cell.hasRef = cell.validRef = false;
        CellParts& parts = cell.parts;
        parts.style = 0;
        parts.type = std::string_view();
        parts.value = std::string_view();
        parts.inlineText = std::string_view();
        parts.formulaType = parts.formulaRef = std::string_view();
        parts.hasValue = parts.hasFormula = false;
        parts.valueElement = parts.formulaElement = parts.inlineElement = nullptr;
        bool cellEmpty = false, haveStyle = false, haveType = false;
        cell.commonTag = commonCellTag(p, cell, cellEmpty);
        for (int got = cell.commonTag ? 0 : 1; got && (got = attribute(p, name, value, cellEmpty));) {
            if (got < 0)
                return false;
            if (name.size() != 1)
                continue;
            if (name[0] == 'r') {
                // An address is letters and digits only, so the text is what a reader takes.
                if (cell.hasRef || !cellRef(value, cell.refRow, cell.col))
                    return false;
                cell.ref = value;
                cell.hasRef = cell.validRef = true;
            } else if (name[0] == 's') {
                std::uint32_t style = 0;
                if (haveStyle || !digitsValue(value, 9, style))
                    return false;
                parts.style = static_cast<int>(style);
                haveStyle = true;
            } else if (name[0] == 't') {
                if (haveType || !plain(value))
                    return false;
                parts.type = value;
                haveType = true;
            }
        }
        if (!cell.hasRef || (!cellEmpty && !plainChildren(p, parts, decoded_)))
            return false;
        // A shared string's index as plain digits, which every reader takes alike.
        std::uint32_t index = 0;
        if (parts.type == "s" && parts.hasValue && !digitsValue(parts.value, 9, index))
            return false;
        cell.start = static_cast<std::size_t>(cellStart - text_.c_str());
        cell.end = static_cast<std::size_t>(p - text_.c_str());
    }
    cells_.resize(count);
    rowRef_ = r;
    row_ = r - 1;
    rowStyle_ = rowStyle;
    readFromText_ = true;
    rowStart_ = at;
    rowTagEnd_ = tagEnd;
    rowEnd_ = static_cast<std::size_t>(p - text_.c_str());
    return true;
}

}  // namespace ooxml
