#include "ooxml/PackageCheck.h"

#include "ooxml/PackageParts.h"
#include "ooxml/Parallel.h"
#include "ooxml/SheetRows.h"
#include "ooxml/XmlParts.h"
#include "xls/Error.h"
#include "xls/Text.h"

#include <pugixml.hpp>

#include <algorithm>
#include <map>
#include <set>

namespace ooxml {

namespace {

// A worksheet's children in the order of the schema.
const std::vector<std::string_view>& worksheetOrder()
{
    static const std::vector<std::string_view> order = {"sheetPr",
                                                        "dimension",
                                                        "sheetViews",
                                                        "sheetFormatPr",
                                                        "cols",
                                                        "sheetData",
                                                        "sheetCalcPr",
                                                        "sheetProtection",
                                                        "protectedRanges",
                                                        "scenarios",
                                                        "autoFilter",
                                                        "sortState",
                                                        "dataConsolidate",
                                                        "customSheetViews",
                                                        "mergeCells",
                                                        "phoneticPr",
                                                        "conditionalFormatting",
                                                        "dataValidations",
                                                        "hyperlinks",
                                                        "printOptions",
                                                        "pageMargins",
                                                        "pageSetup",
                                                        "headerFooter",
                                                        "rowBreaks",
                                                        "colBreaks",
                                                        "customProperties",
                                                        "cellWatches",
                                                        "ignoredErrors",
                                                        "smartTags",
                                                        "drawing",
                                                        "legacyDrawing",
                                                        "legacyDrawingHF",
                                                        "drawingHF",
                                                        "picture",
                                                        "oleObjects",
                                                        "controls",
                                                        "webPublishItems",
                                                        "tableParts",
                                                        "extLst"};
    return order;
}

// A worksheet's children in the schema's order, its rows and cells in theirs, each row handed on
// to the readers. False where its rows were to be read from the text alone and one is not plain.
bool checkWorksheet(const std::string& name, const std::string& text, const pugi::xml_node ws,
                    std::vector<std::string>& problems, const PackageReaders& readers)
{
    const auto& order = worksheetOrder();
    std::size_t last = 0;
    for (const pugi::xml_node n : ws.children()) {
        if (n.type() != pugi::node_element)
            continue;
        const auto at = std::find(order.begin(), order.end(), local(n));
        if (at == order.end()) {
            problems.push_back(name + ": an element <" + std::string(n.name()) + "> the schema does not have");
            continue;
        }
        const std::size_t position = static_cast<std::size_t>(at - order.begin());
        if (position < last || (position == last && last != 0 && local(n) != "conditionalFormatting"))
            problems.push_back(name + ": <" + std::string(n.name()) + "> out of the schema's order");
        last = std::max(last, position);
    }
    std::uint32_t previousRow = 0;
    SheetRows rows(text, child(ws, "sheetData"));
    while (rows.next()) {
        const std::uint32_t r = rows.rowRef();
        if (r != 0 && r <= previousRow)
            problems.push_back(name + ": row " + std::to_string(r) + " after row " + std::to_string(previousRow));
        // A row without a number is the one after the row before, as readers number it.
        const std::uint32_t number = rows.row() + 1;
        previousRow = number;
        std::uint32_t previousCol = 0;
        for (const SheetCell& c : rows.cells()) {
            if (!c.hasRef)
                continue;
            // The column counted from 1, 0 for a reference that is none.
            const std::uint32_t col = c.validRef ? c.col + 1 : 0;
            if (!c.validRef || c.refRow + 1 != number)
                problems.push_back(name + ": cell " + std::string(c.ref) + " in row " + std::to_string(number));
            else if (col <= previousCol)
                problems.push_back(name + ": cell " + std::string(c.ref) + " out of order");
            previousCol = col;
        }
        if (readers.row)
            readers.row(name, rows);
    }
    return !rows.failed();
}

bool isXmlType(const std::string& type)
{
    return type.ends_with("+xml") || type.ends_with("/xml");
}

}  // namespace

const std::string* PackageParts::find(const std::string& name) const
{
    if (const auto it = data.find(name); it != data.end())
        return it->second;
    for (const auto& [n, bytes] : data)
        if (samePartName(n, name))
            return bytes;
    return nullptr;
}

const pugi::xml_document* PackageParts::document(const std::string& name) const
{
    if (const auto it = xml.find(name); it != xml.end())
        return &it->second;
    for (const auto& [n, doc] : xml)
        if (samePartName(n, name))
            return &doc;
    return nullptr;
}

std::vector<std::string> checkPackage(xls::ByteView bytes)
{
    PackageParts parts;
    return readAndCheckPackage(bytes, parts);
}

std::vector<std::string> readAndCheckPackage(xls::ByteView bytes, PackageParts& package, const PackageReaders& readers)
{
    std::vector<std::string> problems;
    // The archive's directory is read first and the content types unpacked; every other entry is
    // unpacked side by side with the others, and where it is XML parsed and checked right there,
    // on the core that has just unpacked it.
    std::vector<StoredEntry> stored;
    std::vector<ZipEntry>& entries = package.entries;
    std::map<std::string, const std::string*>& parts = package.data;
    std::map<std::string, std::size_t> entryOf;
    std::size_t typesEntry = 0;
    try {
        stored = zipDirectory(bytes);
        entries.resize(stored.size());
        for (std::size_t k = 0; k < stored.size(); ++k) {
            const std::string& name = entries[k].name = stored[k].name;
            if (!name.empty() && name.back() != '/' && !parts.emplace(name, &entries[k].data).second)
                problems.push_back("the part " + name + " is there twice");
            entryOf.emplace(name, k);
        }
        if (!parts.count("[Content_Types].xml")) {
            problems.push_back("no [Content_Types].xml");
            return problems;
        }
        typesEntry = entryOf.at("[Content_Types].xml");
        entries[typesEntry].data = unpack(stored[typesEntry]);
    } catch (const xls::Error& e) {
        problems.push_back(e.what());
        return problems;
    }
    ContentTypes& types = package.types;
    try {
        types = ContentTypes::parse(entries[typesEntry].data);
    } catch (const xls::Error& e) {
        problems.push_back(e.what());
        return problems;
    }

    std::map<std::string, int> references;
    std::map<std::string, pugi::xml_document>& xml = package.xml;
    // The XML parts are parsed side by side first, and the worksheets checked there too; what is
    // wrong is told in the parts' order after.
    std::vector<std::pair<const std::string*, pugi::xml_document*>> toParse;
    for (const auto& [name, data] : parts) {
        const std::string type = types.of(name);
        if (name != "[Content_Types].xml" && (isXmlType(type) || name.ends_with(".rels")) && !type.empty())
            toParse.emplace_back(&name, &xml[name]);
    }
    std::vector<char> malformed(toParse.size(), 0);
    std::map<std::string, std::vector<std::string>> worksheetProblems;
    for (const auto& [name, doc] : toParse)
        if (types.of(*name).find("spreadsheetml.worksheet+xml") != std::string::npos)
            worksheetProblems[*name];
    // Each entry's XML part to parse, where it has one (the first of a name given twice).
    std::vector<std::ptrdiff_t> toParseOf(entries.size(), -1);
    for (std::size_t k = 0; k < toParse.size(); ++k)
        toParseOf[entryOf.at(*toParse[k].first)] = static_cast<std::ptrdiff_t>(k);
    std::vector<std::size_t> sizes;
    for (const StoredEntry& e : stored)
        sizes.push_back(static_cast<std::size_t>(e.size));
    const auto parseAndCheck = [&](std::size_t k) {
        const std::string& name = *toParse[k].first;
        const std::string& text = *parts.at(name);
        pugi::xml_document& doc = *toParse[k].second;
        const auto worksheet = worksheetProblems.find(name);
        // A worksheet's rows are read from its text where they are all plain, the rest of it
        // parsed; else it is parsed whole and its rows read again.
        const bool outline = worksheet != worksheetProblems.end() && SheetRows::parseWithoutRows(doc, text);
        if (outline && checkWorksheet(name, text, doc.document_element(), worksheet->second, readers)) {
            if (readers.parsed)
                readers.parsed(name, text, doc);
            return;
        }
        if (outline) {
            worksheet->second.clear();
            if (readers.restart)
                readers.restart(name);
        }
        try {
            parseInto(doc, text, name);
        } catch (const xls::Error&) {
            malformed[k] = 1;
            return;
        }
        if (worksheet != worksheetProblems.end())
            checkWorksheet(name, text, doc.document_element(), worksheet->second, readers);
        if (readers.parsed)
            readers.parsed(name, text, doc);
    };
    try {
        forEachInParallel(sizes, [&](std::size_t k) {
            if (k != typesEntry)
                entries[k].data = unpack(stored[k]);
            if (toParseOf[k] >= 0)
                parseAndCheck(static_cast<std::size_t>(toParseOf[k]));
        });
    } catch (const xls::Error& e) {
        problems.push_back(e.what());
        return problems;
    }
    for (std::size_t k = 0; k < toParse.size(); ++k)
        if (malformed[k])
            xml.erase(*toParse[k].first);
    for (const auto& [name, data] : parts) {
        if (name == "[Content_Types].xml")
            continue;
        const bool rels = name.ends_with(".rels");
        const std::string type = types.of(name);
        if (type.empty()) {
            problems.push_back("the part " + name + " has no content type");
            continue;
        }
        if (!isXmlType(type) && !rels)
            continue;
        if (!xml.count(name)) {
            problems.push_back("the part " + name + " is not well-formed XML");
            continue;
        }
        if (!rels)
            continue;
        // The source of "a/_rels/b.xml.rels" is "a/b.xml".
        const std::size_t cut = name.rfind("_rels/");
        const std::string source = name.substr(0, cut) + name.substr(cut + 6, name.size() - cut - 6 - 5);
        std::set<std::string> ids;
        for (const Relationship& r : Relationships::parse(*data).list) {
            if (!ids.insert(r.id).second)
                problems.push_back(name + ": the relationship id " + r.id + " is used twice");
            if (r.external)
                continue;
            const std::string target = resolveTarget(source, r.target);
            if (!parts.count(target))
                problems.push_back(name + ": the target " + r.target + " (" + target + ") is not in the package");
            ++references[target];
        }
    }
    for (const auto& [name, data] : parts) {
        const std::string type = types.of(name);
        for (const char* owned : {"drawing+xml", "drawingml.chart+xml", "spreadsheetml.comments+xml",
                                  "spreadsheetml.table+xml", "vmlDrawing"}) {
            if (type.find(owned) == std::string::npos)
                continue;
            if (references[name] != 1)
                problems.push_back("the part " + name + " is referenced " + std::to_string(references[name]) +
                                   " times, not once");
        }
        if (const auto it = worksheetProblems.find(name); it != worksheetProblems.end() && xml.count(name))
            problems.insert(problems.end(), it->second.begin(), it->second.end());
        if (type.find("spreadsheetml.sheet.main+xml") != std::string::npos && xml.count(name)) {
            std::set<std::u16string> names;
            std::set<std::string> sheetIds, relIds;
            for (const pugi::xml_node s : xml[name].document_element().child("sheets").children("sheet")) {
                if (!names.insert(xls::foldCase(xls::fromUtf8(s.attribute("name").value()))).second)
                    problems.push_back(std::string("the sheet name \"") + s.attribute("name").value() +
                                       "\" is used twice");
                if (!sheetIds.insert(s.attribute("sheetId").value()).second)
                    problems.push_back(std::string("the sheetId ") + s.attribute("sheetId").value() + " is used twice");
                if (!relIds.insert(s.attribute("r:id").value()).second)
                    problems.push_back(std::string("the sheet relationship ") + s.attribute("r:id").value() +
                                       " is used twice");
            }
        }
    }
    return problems;
}

}  // namespace ooxml
