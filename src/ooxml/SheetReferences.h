// SheetReferences: the sheet names a formula's text refers to ('Sheet 1'!A1, Sheet2!B2:C3, and
// both ends of a 3-D reference), rewritten through a function from the name as written to the
// name the reference must carry now. A name the function leaves empty stays as it was; references
// into other workbooks ([1]Sheet1!A1) and text in string literals are never touched.
#pragma once

#include <functional>
#include <string>

namespace ooxml {

// UTF-8 in, UTF-8 out.
std::string renameSheetReferences(const std::string& formula,
                                  const std::function<std::string(const std::string&)>& rename);

// The same, and the tables the formula names ("Table1[Amount]", "ROWS(Table1)") renamed through
// `tables`, which may be empty.
std::string renameReferences(const std::string& formula, const std::function<std::string(const std::string&)>& rename,
                             const std::function<std::string(const std::string&)>& tables);

// The name as a formula writes it, quoted when it must be.
std::string quotedSheetName(const std::string& name);

}  // namespace ooxml
