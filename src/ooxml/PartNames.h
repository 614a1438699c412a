// PartNames: the relationships and content types of an Office Open XML package, and the names of
// its parts: a part's relationships part, a relationship's target resolved against its source,
// and the relative target from one part to another.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ooxml {

struct Relationship {
    std::string id;
    std::string type;
    std::string target;  // as written: relative to the source's folder, or absolute from "/"
    bool external = false;
};

// The relationships of one part, in their order; the last part of a type's URI names the kind.
struct Relationships {
    std::vector<Relationship> list;

    static Relationships parse(const std::string& xml);
    std::string serialize() const;
    // The first relationship whose type ends with "/" + kind; null when none.
    const Relationship* firstOfKind(const std::string& kind) const;
    const Relationship* byId(const std::string& id) const;
    // Adds a relationship under an id not yet used ("rId" and a number) and returns the id.
    std::string add(const std::string& type, const std::string& target);
};

// The last segment of a relationship type: ".../relationships/worksheet" is "worksheet".
std::string kindOf(const std::string& type);

struct ContentTypes {
    std::vector<std::pair<std::string, std::string>> defaults;   // extension (lower case), type
    std::vector<std::pair<std::string, std::string>> overrides;  // part name with "/", type

    static ContentTypes parse(const std::string& xml);
    std::string serialize() const;
    // The content type of a part (name without the leading "/"); empty when none applies.
    std::string of(const std::string& part) const;
    bool hasOverride(const std::string& part) const;
    void setOverride(const std::string& part, const std::string& type);
    void removeOverride(const std::string& part);
};

// "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels"; "" -> "_rels/.rels".
std::string relsPartOf(const std::string& part);
// Part names are the same without regard to case (ASCII letters).
bool samePartName(const std::string& a, const std::string& b);
// A target resolved against its source part, as a part name without the leading "/"; "." and ".."
// taken out. Empty when it climbs above the package's root.
std::string resolveTarget(const std::string& source, const std::string& target);
// The target that leads from `source` to `part`, relative to the source's folder.
std::string relativeTarget(const std::string& source, const std::string& part);
// Escaped for an XML attribute or text.
std::string xmlEscape(const std::string& text);

}  // namespace ooxml
