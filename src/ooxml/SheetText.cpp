#include "ooxml/SheetText.h"

#include "ooxml/CellText.h"
#include "ooxml/SheetRows.h"
#include "xls/Error.h"
#include "xls/Worksheet.h"

#include <algorithm>
#include <initializer_list>

namespace ooxml {

namespace {

// The element's closing tag: "</row>".
std::string closingTag(const pugi::xml_node n)
{
    return "</" + std::string(n.name()) + ">";
}

// The element alone, as its opening tag: "<row r="3">".
std::string openingTag(const pugi::xml_node n)
{
    pugi::xml_document scratch;
    pugi::xml_node e = scratch.append_child(n.name());
    for (const pugi::xml_attribute a : n.attributes())
        e.append_copy(a);
    std::string tag = printed(e);  // "<row r="3"/>"
    tag.resize(tag.size() - 2);
    return tag + ">";
}

// Where the opening tag of an element's printed text ends: its '>', which a quoted value may hold.
std::size_t tagEnd(std::string_view text)
{
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == '>' && !quoted)
            return i;
    }
    return text.size();
}

// Where the markup that starts at `i` (a tag, a comment, a CDATA section, an instruction) ends:
// past its last character; npos when it does not end.
std::size_t markupEnd(std::string_view t, std::size_t i)
{
    auto past = [&](std::string_view close, std::size_t from) {
        const std::size_t at = t.find(close, from);
        return at == std::string_view::npos ? at : at + close.size();
    };
    if (t.substr(i, 4) == "<!--")
        return past("-->", i + 4);
    if (t.substr(i, 9) == "<![CDATA[")
        return past("]]>", i + 9);
    if (t.substr(i, 2) == "<?")
        return past("?>", i + 2);
    const std::size_t end = i + tagEnd(t.substr(i));
    return end < t.size() ? end + 1 : std::string_view::npos;
}

// Where the element whose opening tag starts at `i` ends, past its closing tag.
std::size_t elementEnd(std::string_view t, std::size_t i)
{
    std::size_t depth = 0, at = i;
    do {
        if (t[at] != '<') {
            at = t.find('<', at);  // text, in which pugixml always escapes '<'
            if (at == std::string_view::npos)
                return at;
            continue;
        }
        const std::size_t end = markupEnd(t, at);
        if (end == std::string_view::npos)
            return end;
        if (t[at + 1] == '/')
            --depth;
        else if (t[at + 1] != '!' && t[at + 1] != '?' && t[end - 2] != '/')
            ++depth;
        at = end;
    } while (depth > 0 && at < t.size());
    return depth == 0 ? at : std::string_view::npos;
}

// The printed text of each child of an element, cut from the element's own printed text; empty
// when the text does not fall into as many pieces, each of the child's kind and name, as it has
// children, and each child is then printed alone.
std::vector<std::string_view> childTexts(std::string_view text, const pugi::xml_node n)
{
    std::size_t at = markupEnd(text, 0);
    std::vector<std::string_view> pieces;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (at == std::string_view::npos || at >= text.size())
            return {};
        std::size_t end;
        if (c.type() == pugi::node_element) {
            const std::string_view name = c.name();
            const std::string_view next = text.substr(std::min(text.size(), at + 1 + name.size()), 1);
            if (text.substr(at + 1, name.size()) != name || next.empty() || (next != " " && next != "/" && next != ">"))
                return {};
            end = elementEnd(text, at);
        } else if (c.type() == pugi::node_pcdata) {
            end = text[at] == '<' ? std::string_view::npos : text.find('<', at);
        } else {
            end = text[at] == '<' ? markupEnd(text, at) : std::string_view::npos;
        }
        if (end == std::string_view::npos)
            return {};
        pieces.push_back(text.substr(at, end - at));
        at = end;
    }
    if (at == std::string_view::npos || text.substr(at) != closingTag(n))
        return {};
    return pieces;
}

// Printed attributes (' r="A1" s="3"': double quotes, a quote in a value escaped) without those named.
std::string attributesWithout(std::string_view attributes, std::initializer_list<std::string_view> names)
{
    std::string out;
    std::size_t i = 0;
    while (i < attributes.size()) {
        const std::size_t equals = attributes.find('=', i);
        const std::size_t close = equals == std::string_view::npos ? equals : attributes.find('"', equals + 2);
        if (close == std::string_view::npos) {
            out.append(attributes.substr(i));
            break;
        }
        std::string_view name = attributes.substr(i, equals - i);
        name.remove_prefix(std::min(name.find_first_not_of(" \t\r\n"), name.size()));
        if (std::find(names.begin(), names.end(), name) == names.end())
            out.append(attributes.substr(i, close + 1 - i));
        i = close + 1;
    }
    return out;
}

// An opening tag ("<row r="3" spans="1:9">") without the attributes named.
std::string tagWithout(const std::string& tag, std::initializer_list<std::string_view> names)
{
    const std::size_t start = std::min(tag.find_first_of(" >"), tag.size() - 1);
    return tag.substr(0, start) +
           attributesWithout(std::string_view(tag).substr(start, tag.size() - 1 - start), names) + ">";
}

void appendEscaped(std::string& out, std::string_view text)
{
    for (const char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t' && ch != '\n' && ch != '\r')
                out += "&#" + std::to_string(static_cast<int>(ch)) + ";";
            else
                out += ch;
        }
    }
}

// A cell written: its name and attributes (its type left out), its value, and what else it held
// that is not a value (an extension list).
void appendCell(std::string& out, std::string_view name, std::string_view attributes, std::string_view ext,
                const std::string& ns, const CellRead& value)
{
    const auto element = [&](std::string_view open, std::string_view local) {
        out.append(open).append(ns).append(local);
    };
    out += '<';
    out += name;
    out += attributes;
    if (value.style != 0 && attributes.find(" s=\"") == std::string_view::npos)
        out.append(" s=\"").append(std::to_string(value.style)).append("\"");
    if (value.kind == CellRead::Kind::Text)
        out += " t=\"inlineStr\"";
    if (value.kind != CellRead::Kind::Number && value.kind != CellRead::Kind::Text && ext.empty()) {
        out += "/>";
        return;
    }
    out += '>';
    if (value.kind == CellRead::Kind::Number) {
        element("<", "v>");
        out += numberText(value.number);
        element("</", "v>");
    } else if (value.kind == CellRead::Kind::Text) {
        const std::string text = cellTextEscaped(value.text);
        element("<", "is>");
        element("<", "t");
        if (!text.empty() &&
            (text.front() == ' ' || text.back() == ' ' || text.find_first_of("\n\t") != std::string::npos))
            out += " xml:space=\"preserve\"";
        out += '>';
        appendEscaped(out, text);
        element("</", "t>");
        element("</", "is>");
    }
    out += ext;
    out += "</";
    out += name;
    out += '>';
}

}  // namespace

SheetText::SheetText(std::unique_ptr<pugi::xml_document> sheet, std::string text, const std::string& part,
                     const std::vector<std::u16string>& tables)
    : doc_(std::move(sheet)), text_(std::move(text))
{
    // A document parsed without its rows is parsed whole when a row must be laid out from its
    // elements.
    if (const pugi::xml_node data = child(doc_->document_element(), "sheetData"); data && !layRows(data, tables)) {
        rows_.clear();
        size_ = 0;
        parseInto(*doc_, text_, part);
        layRows(child(doc_->document_element(), "sheetData"), tables);
    }
    const pugi::xml_node ws = doc_->document_element();
    const pugi::xml_node data = child(ws, "sheetData");

    bool declared = false;
    bool after = false;
    for (const pugi::xml_node n : doc_->children()) {
        if (n == ws) {
            after = true;
            continue;
        }
        declared = declared || n.type() == pugi::node_declaration;
        (after ? suffix_ : prefix_) += printed(n);
    }
    if (!declared)
        prefix_ = "<?xml version=\"1.0\"?>" + prefix_;
    prefix_ += openingTag(ws);
    suffix_ = closingTag(ws) + suffix_;

    std::vector<Piece>* side = &head_;
    for (const pugi::xml_node n : ws.children()) {
        if (n == data) {
            side = &tail_;
            continue;
        }
        Piece piece;
        piece.node = n;
        piece.text = keep(printed(n));
        piece.element = n.type() == pugi::node_element;
        piece.names = piece.element && holdsNames(n, tables);
        if (side == &head_ && piece.element && local(n) == "dimension")
            dimension_ = static_cast<int>(head_.size());
        if (side == &head_ && piece.element && local(n) == "sheetViews") {
            views_ = static_cast<int>(head_.size());
            for (pugi::xml_node view : n.children())
                view.remove_attribute("tabSelected");
            viewsOfCopy_ = printed(n);
        }
        size_ += piece.text.size();
        side->push_back(std::move(piece));
    }

    if (!data)
        return;
    hasData_ = true;
    ns_ = prefixOf(data);
    dataOpen_ = openingTag(data);
    dataClose_ = closingTag(data);
}

bool SheetText::layRows(const pugi::xml_node data, const std::vector<std::u16string>& tables)
{
    SheetRows rows(text_, data);
    if (!data.first_child()) {
        // The rows are in the text alone (or there are none): each must be laid out from it.
        while (rows.next())
            if (!layRowFromText(rows))
                return false;
        return !rows.failed();
    }
    for (pugi::xml_node n = data.first_child(); n; n = n.next_sibling()) {
        if (!isElement(n, "row")) {
            // White space, a comment or the like between rows, kept as it is.
            Row row;
            row.whole = keep(printed(n));
            size_ += row.whole.size();
            rows_.push_back(std::move(row));
            continue;
        }
        rows.next();  // the same row
        if (!layRowFromText(rows))
            layRowFromElement(n, rows, tables);
    }
    return true;
}

bool SheetText::layRowFromText(const SheetRows& rows)
{
    // Only a row written plainly, in the form a printed row takes, and without formulas (whose
    // cached results go) is its own text.
    if (!rows.readFromText() || !rows.commonRowTag())
        return false;
    const std::string_view text(text_);
    const std::string_view tag = text.substr(rows.rowStart(), rows.rowTagEnd() - rows.rowStart());
    const bool empty = tag.size() >= 2 && tag[tag.size() - 2] == '/';
    std::size_t at = rows.rowTagEnd();
    for (const SheetCell& c : rows.cells()) {
        if (!c.commonTag || c.parts.hasFormula || c.start != at)
            return false;
        at = c.end;
    }
    if (!empty && text.substr(at, rows.rowEnd() - at) != "</row>")
        return false;
    Row row;
    row.row = rows.row();
    row.isRow = true;
    row.whole = text.substr(rows.rowStart(), rows.rowEnd() - rows.rowStart());
    row.open = empty ? std::string(tag.substr(0, tag.size() - 2)) + ">" : std::string(tag);
    // A row without cells as a printed one is, in one tag.
    if (!empty && rows.cells().empty())
        row.whole = keep(row.open.substr(0, row.open.size() - 1) + "/>");
    row.close = "</row>";
    row.children.reserve(rows.cells().size());
    for (const SheetCell& c : rows.cells()) {
        Piece piece;
        piece.text = text.substr(c.start, c.end - c.start);
        piece.cell = piece.element = true;
        piece.col = c.col;
        row.children.push_back(piece);
    }
    size_ += row.whole.size();
    rows_.push_back(std::move(row));
    return true;
}

void SheetText::layRowFromElement(pugi::xml_node n, const SheetRows& rows, const std::vector<std::u16string>& tables)
{
    // Every row and cell gets its reference, and formulas lose their cached results: they are
    // worked out again on loading, and a value kept from the template could be stale.
    if (!refOf(n))
        n.append_attribute("r").set_value(rows.row() + 1);
    std::size_t cell = 0;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (!isElement(c, "c"))
            continue;
        if (!refOf(c))
            c.append_attribute("r").set_value(cellName(rows.row(), rows.cells()[cell].col).c_str());
        ++cell;
        pugi::xml_node f, v;
        for (pugi::xml_node e = c.first_child(); e; e = e.next_sibling()) {
            if (!f && isElement(e, "f"))
                f = e;
            else if (!v && isElement(e, "v"))
                v = e;
        }
        if (!f)
            continue;
        if (v)
            c.remove_child(v);
        c.remove_attribute("t");
    }

    Row row;
    row.row = rows.row();
    row.isRow = true;
    row.whole = keep(printed(n));
    size_ += row.whole.size();
    row.open = openingTag(n);
    row.close = closingTag(n);
    if (!n.first_child()) {
        rows_.push_back(std::move(row));
        return;
    }
    // The row printed once and cut into its children, rather than each of them printed; where
    // that cannot be done, the row is made of its children printed one by one.
    std::vector<std::string_view> texts = childTexts(row.whole, n);
    if (texts.empty()) {
        std::string whole = row.open;
        std::vector<std::pair<std::size_t, std::size_t>> spans;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            const std::string text = printed(c);
            spans.emplace_back(whole.size(), text.size());
            whole += text;
        }
        row.whole = keep(whole + row.close);
        for (const auto& [at, size] : spans)
            texts.push_back(row.whole.substr(at, size));
    }
    std::size_t piece = 0;
    cell = 0;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        Piece p;
        p.node = c;
        p.text = texts[piece++];
        p.element = c.type() == pugi::node_element;
        p.cell = isElement(c, "c");
        // Only a cell's formula can name a sheet.
        p.names = p.cell ? child(c, "f") && holdsNames(c, tables) : p.element && holdsNames(c, tables);
        if (p.cell) {
            p.col = rows.cells()[cell++].col;
            row.cellsEnd = row.children.size() + 1;
        }
        row.names = row.names || p.names;
        row.children.push_back(p);
    }
    rows_.push_back(std::move(row));
}

std::string_view SheetText::keep(std::string text)
{
    return store_.emplace_back(std::move(text));
}

void SheetText::emitPiece(std::string& out, const Piece& piece, const FormulaRenames& renames) const
{
    if (!piece.names) {
        out += piece.text;
        return;
    }
    pugi::xml_document scratch;
    renameFormulas(scratch.append_copy(piece.node).parent(), renames);
    out += printed(scratch.first_child());
}

void SheetText::emitRow(std::string& out, const Row& row, Written& w, const Written end,
                        const FormulaRenames& renames) const
{
    auto inRow = [&] { return w != end && (w->first >> 14) == row.row; };
    auto col = [&] { return static_cast<std::uint32_t>(w->first & 0x3FFF); };
    bool added = false;
    const std::string cell = ns_ + "c";
    // The template's pieces that stand side by side in its text are appended as one.
    std::string_view pending;
    auto flush = [&] {
        out += pending;
        pending = {};
    };
    auto addNew = [&](std::string& body) {
        flush();
        appendCell(body, cell, " r=\"" + cellName(row.row, col()) + "\"", {}, ns_, w->second);
        added = true;
        ++w;
    };
    // Written straight after the row's opening tag, which is made again when cells were added.
    const std::size_t open = out.size();
    out += row.open;
    std::string& body = out;
    for (std::size_t k = 0; k < row.children.size(); ++k) {
        const Piece& p = row.children[k];
        if (p.cell) {
            while (inRow() && col() < p.col)
                addNew(body);
            if (inRow() && col() == p.col) {
                // The template's cell keeps its place, style and other attributes; its value goes.
                flush();
                const std::string_view name = p.text.substr(1, p.text.find_first_of(" \t\r\n/>", 1) - 1);
                const std::size_t end = tagEnd(p.text);
                const bool empty = end > 0 && p.text[end - 1] == '/';
                const std::string_view attributes =
                    std::string_view(p.text).substr(1 + name.size(), (empty ? end - 1 : end) - 1 - name.size());
                // Most of a form's cells hold no type or metadata to leave out, nor an extension.
                const bool typed = attributes.find(" t=\"") != std::string_view::npos ||
                                   attributes.find(" cm=\"") != std::string_view::npos ||
                                   attributes.find(" vm=\"") != std::string_view::npos;
                const std::string kept = typed ? attributesWithout(attributes, {"t", "cm", "vm"}) : std::string();
                // A cell laid out from its text has no extension list.
                const pugi::xml_node ext = empty || !p.node ? pugi::xml_node() : child(p.node, "extLst");
                appendCell(body, name, typed ? std::string_view(kept) : attributes, ext ? printed(ext) : "", ns_,
                           w->second);
                ++w;
                continue;
            }
        } else if (p.element && k >= row.cellsEnd) {
            // Cells come before a row's extension list (or whatever else follows its last cell).
            while (inRow())
                addNew(body);
        }
        if (p.names) {
            flush();
            emitPiece(body, p, renames);
        } else if (!pending.empty() && pending.data() + pending.size() == p.text.data()) {
            pending = std::string_view(pending.data(), pending.size() + p.text.size());
        } else {
            flush();
            pending = p.text;
        }
    }
    flush();
    while (inRow())
        addNew(body);
    // Cells added may fall outside the columns the row's "spans" hint names.
    if (added)
        out.replace(open, row.open.size(), tagWithout(row.open, {"spans"}));
    out += row.close;
}

void SheetText::emitNewRow(std::string& out, Written& w, const Written end) const
{
    const auto row = static_cast<std::uint32_t>(w->first >> 14);
    out += "<" + ns_ + "row r=\"" + std::to_string(row + 1) + "\">";
    for (; w != end && (w->first >> 14) == row; ++w)
        appendCell(out, ns_ + "c", " r=\"" + cellName(row, static_cast<std::uint32_t>(w->first & 0x3FFF)) + "\"", {},
                   ns_, w->second);
    out += "</" + ns_ + "row>";
}

// The used range grown to take in the cells written.
std::string SheetText::grownDimension(const std::map<CellKey, CellRead>& written) const
{
    const Piece& piece = head_[static_cast<std::size_t>(dimension_)];
    const pugi::xml_attribute ref = piece.node.attribute("ref");
    const std::size_t at = piece.text.find(" ref=\"");
    if (!ref || at == std::string::npos)
        return std::string(piece.text);
    xls::CellRange range{};
    const bool known = rangeRef(ref.value(), range);
    std::uint32_t r1 = known ? range.firstRow : 0xFFFFFFFF, r2 = known ? range.lastRow : 0;
    std::uint32_t c1 = known ? range.firstCol : 0xFFFFFFFF, c2 = known ? range.lastCol : 0;
    for (const auto& [k, value] : written) {
        const auto r = static_cast<std::uint32_t>(k >> 14), c = static_cast<std::uint32_t>(k & 0x3FFF);
        r1 = std::min(r1, r);
        r2 = std::max(r2, r);
        c1 = std::min(c1, c);
        c2 = std::max(c2, c);
    }
    const std::string grown = cellName(r1, c1) + (r1 == r2 && c1 == c2 ? "" : ":" + cellName(r2, c2));
    const std::size_t close = piece.text.find('"', at + 6);
    return std::string(piece.text.substr(0, at + 6)) + grown + std::string(piece.text.substr(close));
}

std::string SheetText::render(const std::map<CellKey, CellRead>& written, bool copy,
                              const FormulaRenames& renames) const
{
    if (!hasData_ && !written.empty())
        throw xls::Error(xls::ErrorCode::DamagedPackage, "a sheet written to has no sheetData");
    std::string out;
    out.reserve(size_ + prefix_.size() + written.size() * 64 + 256);
    out += prefix_;
    for (std::size_t k = 0; k < head_.size(); ++k) {
        if (static_cast<int>(k) == dimension_ && !written.empty())
            out += grownDimension(written);
        else if (static_cast<int>(k) == views_ && copy)
            out += viewsOfCopy_;
        else
            emitPiece(out, head_[k], renames);
    }
    if (hasData_) {
        out += dataOpen_;
        Written w = written.begin();
        const Written end = written.end();
        for (const Row& row : rows_) {
            if (row.isRow) {
                // A row written that the template does not have goes in before the first row after it.
                while (w != end && (w->first >> 14) < row.row)
                    emitNewRow(out, w, end);
                if ((w != end && (w->first >> 14) == row.row) || row.names) {
                    emitRow(out, row, w, end, renames);
                    continue;
                }
            }
            out += row.whole;
        }
        while (w != end)
            emitNewRow(out, w, end);
        out += dataClose_;
    }
    for (const Piece& piece : tail_)
        emitPiece(out, piece, renames);
    out += suffix_;
    return out;
}

}  // namespace ooxml
