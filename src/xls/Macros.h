// Macros: what ties a workbook to its VBA project, taken out so that the workbooks made from a
// template with macros are plain workbooks. The project's storage goes from the container, and
// with it every record that refers to it: the project's marker records, the code names of the
// workbook and its sheets, the names of VBA macros (kept as hidden names that refer to #REF!, so
// that no other name's number changes) and the macro a drawn button or shape runs.
#pragma once

#include "xls/CompoundFile.h"
#include "xls/Record.h"

#include <vector>

namespace xls {

// Takes the VBA project's storage (and the signatures of it) out of the container's root; true
// when there was one.
bool leaveOutVbaProject(CompoundFile& container);

// The workbook globals without the project's records and with every VBA macro name unlinked.
void leaveOutMacroRecords(std::vector<Record>& globals);

// A sheet's records without its code name, its drawn objects without the macros they run.
void leaveOutSheetMacros(std::vector<Record>& sheet);

}  // namespace xls
