// PackageCheck: the structure of an Office Open XML package, checked as the strictest reader would
// check it, since the forgiving ones open much that it refuses: every part has a content type and
// is well-formed XML where its type says XML; every relationship's id is unique and its target is
// there; every drawing, chart, comments, VML and table part is referenced once; the sheets' names,
// ids and relationships are unique; a worksheet's elements come in the schema's order, its rows
// and cells in ascending order.
#pragma once

#include "xls/Bytes.h"

#include <string>
#include <vector>

namespace ooxml {

// The problems found, each in a sentence; empty when there are none.
std::vector<std::string> checkPackage(xls::ByteView bytes);

}  // namespace ooxml
