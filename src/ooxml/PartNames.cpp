#include "ooxml/PartNames.h"

#include "xls/Error.h"

#include <pugixml.hpp>

#include <algorithm>

namespace ooxml {

namespace {

pugi::xml_document parseXml(const std::string& xml, const char* what)
{
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default))
        throw xls::Error(xls::ErrorCode::DamagedPackage, std::string(what) + " is not well-formed XML");
    return doc;
}

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

// The part's name without the leading "/".
std::string bare(const std::string& name)
{
    return !name.empty() && name[0] == '/' ? name.substr(1) : name;
}

std::vector<std::string> segments(const std::string& path)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        out.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string folderOf(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash);
}

}  // namespace

std::string xmlEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string kindOf(const std::string& type)
{
    const std::size_t slash = type.rfind('/');
    return slash == std::string::npos ? type : type.substr(slash + 1);
}

Relationships Relationships::parse(const std::string& xml)
{
    Relationships rels;
    const pugi::xml_document doc = parseXml(xml, "a relationships part");
    for (const pugi::xml_node r : doc.document_element().children()) {
        if (std::string_view(r.name()).ends_with("Relationship"))
            rels.list.push_back({r.attribute("Id").value(), r.attribute("Type").value(), r.attribute("Target").value(),
                                 std::string_view(r.attribute("TargetMode").value()) == "External"});
    }
    return rels;
}

std::string Relationships::serialize() const
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const Relationship& r : list) {
        out += "<Relationship Id=\"" + xmlEscape(r.id) + "\" Type=\"" + xmlEscape(r.type) + "\" Target=\"" +
               xmlEscape(r.target) + "\"";
        if (r.external)
            out += " TargetMode=\"External\"";
        out += "/>";
    }
    return out + "</Relationships>";
}

const Relationship* Relationships::firstOfKind(const std::string& kind) const
{
    for (const Relationship& r : list)
        if (kindOf(r.type) == kind)
            return &r;
    return nullptr;
}

const Relationship* Relationships::byId(const std::string& id) const
{
    for (const Relationship& r : list)
        if (r.id == id)
            return &r;
    return nullptr;
}

std::string Relationships::add(const std::string& type, const std::string& target)
{
    for (int n = static_cast<int>(list.size()) + 1;; ++n) {
        const std::string id = "rId" + std::to_string(n);
        if (!byId(id)) {
            list.push_back({id, type, target, false});
            return id;
        }
    }
}

ContentTypes ContentTypes::parse(const std::string& xml)
{
    ContentTypes types;
    const pugi::xml_document doc = parseXml(xml, "[Content_Types].xml");
    for (const pugi::xml_node n : doc.document_element().children()) {
        const std::string_view name = n.name();
        if (name.ends_with("Default"))
            types.defaults.emplace_back(lower(n.attribute("Extension").value()), n.attribute("ContentType").value());
        else if (name.ends_with("Override"))
            types.overrides.emplace_back(n.attribute("PartName").value(), n.attribute("ContentType").value());
    }
    return types;
}

std::string ContentTypes::serialize() const
{
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    for (const auto& [extension, type] : defaults)
        out += "<Default Extension=\"" + xmlEscape(extension) + "\" ContentType=\"" + xmlEscape(type) + "\"/>";
    for (const auto& [part, type] : overrides)
        out += "<Override PartName=\"" + xmlEscape(part) + "\" ContentType=\"" + xmlEscape(type) + "\"/>";
    return out + "</Types>";
}

std::string ContentTypes::of(const std::string& part) const
{
    for (const auto& [name, type] : overrides)
        if (samePartName(bare(name), part))
            return type;
    const std::size_t dot = part.rfind('.');
    if (dot == std::string::npos || part.find('/', dot) != std::string::npos)
        return {};
    const std::string extension = lower(part.substr(dot + 1));
    for (const auto& [ext, type] : defaults)
        if (ext == extension)
            return type;
    return {};
}

bool ContentTypes::hasOverride(const std::string& part) const
{
    return std::any_of(overrides.begin(), overrides.end(),
                       [&](const auto& o) { return samePartName(bare(o.first), part); });
}

void ContentTypes::setOverride(const std::string& part, const std::string& type)
{
    for (auto& [name, t] : overrides)
        if (samePartName(bare(name), part)) {
            t = type;
            return;
        }
    overrides.emplace_back("/" + part, type);
}

void ContentTypes::removeOverride(const std::string& part)
{
    std::erase_if(overrides, [&](const auto& o) { return samePartName(bare(o.first), part); });
}

std::string relsPartOf(const std::string& part)
{
    const std::string folder = folderOf(part);
    const std::string file = part.substr(folder.empty() ? 0 : folder.size() + 1);
    return (folder.empty() ? std::string() : folder + "/") + "_rels/" + file + ".rels";
}

bool samePartName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && lower(a) == lower(b);
}

std::string resolveTarget(const std::string& source, const std::string& target)
{
    std::string path = target;
    if (const std::size_t cut = path.find_first_of("#?"); cut != std::string::npos)
        path.resize(cut);
    std::vector<std::string> parts;
    if (!path.empty() && path[0] == '/')
        path = path.substr(1);
    else if (const std::string folder = folderOf(source); !folder.empty())
        parts = segments(folder);
    for (const std::string& s : segments(path)) {
        if (s.empty() || s == ".")
            continue;
        if (s == "..") {
            if (parts.empty())
                return {};
            parts.pop_back();
        } else {
            parts.push_back(s);
        }
    }
    std::string out;
    for (const std::string& s : parts)
        out += (out.empty() ? "" : "/") + s;
    return out;
}

std::string relativeTarget(const std::string& source, const std::string& part)
{
    const std::vector<std::string> from =
        folderOf(source).empty() ? std::vector<std::string>{} : segments(folderOf(source));
    const std::vector<std::string> to = segments(part);
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && from[common] == to[common])
        ++common;
    std::string out;
    for (std::size_t k = common; k < from.size(); ++k)
        out += "../";
    for (std::size_t k = common; k < to.size(); ++k)
        out += to[k] + (k + 1 < to.size() ? "/" : "");
    return out;
}

}  // namespace ooxml
