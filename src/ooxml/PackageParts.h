// PackageParts: a package as the checker read it, its entries unpacked and its XML parts parsed the
// way the engine parses (white space and every node kept), so that reading a saved workbook back
// after checking it unpacks and parses nothing twice.
#pragma once

#include "ooxml/PartNames.h"
#include "ooxml/SheetRows.h"
#include "ooxml/Zip.h"

#include <pugixml.hpp>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ooxml {

struct PackageParts {
    std::vector<ZipEntry> entries;
    std::map<std::string, const std::string*> data;  // each part's bytes by its name
    ContentTypes types;
    // The parts whose type is XML, parsed; a worksheet whose rows are all plain without them (as
    // SheetRows::parseWithoutRows leaves it), which SheetRows reads from its bytes.
    std::map<std::string, pugi::xml_document> xml;

    // The part's bytes and the part parsed, found without regard to case; nullptr when it is not
    // there (or not XML).
    const std::string* find(const std::string& name) const;
    const pugi::xml_document* document(const std::string& name) const;
};

// What a caller reads beside the checker, on whichever core parses the part: each worksheet's rows
// as the checker reads them, one after another in the sheet's order (`restart` first where they
// are read again from the first), and then each XML part once it is parsed and checked (its name,
// its bytes and its document).
struct PackageReaders {
    std::function<void(const std::string& part, const SheetRows& rows)> row;
    std::function<void(const std::string& part)> restart;
    std::function<void(const std::string& part, const std::string& text, const pugi::xml_document& doc)> parsed;
};

// Reads the package into `parts` and checks it as checkPackage does; the problems found.
std::vector<std::string> readAndCheckPackage(xls::ByteView bytes, PackageParts& parts,
                                             const PackageReaders& readers = {});

}  // namespace ooxml
