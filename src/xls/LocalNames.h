// The sheet-local defined names (NAME records scoped to one sheet, such as its print area) when a
// sheet is copied: the copy gets its own, and the copy's formulas that named the source's names
// name the copy's. Formulas are walked with the whole token grammar (xls/Formula.h); one that
// cannot be walked is refused with its token and the name or cell it belongs to.
#pragma once

#include "xls/Record.h"

#include <string>
#include <utility>
#include <vector>

namespace xls {

// Old and new 1-based name indexes, for the formulas of the copy.
using NameRenames = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// The names scoped to sheet `from` (0-based) and the indexes their copies will have; throws when
// one cannot be copied (its formula cannot be walked, or it continues over records). Changes nothing.
NameRenames planLocalNames(const std::vector<Record>& globals, int from);

// Appends to the globals the copies planned: each scoped to sheet `to`, its 3-D references to
// `from` pointing at `to` through an XTI found or added in EXTERNSHEET, its references to other
// copied names renamed.
void copyLocalNames(std::vector<Record>& globals, int from, int to, const NameRenames& renames);

// Renames the PtgName tokens of a formula record (FORMULA, SHRFMLA, ARRAY or NAME) in place;
// `where` names the formula in a refusal ("cell A6 on sheet \"Sheet3 (2)\"").
void renameNames(Record& record, const NameRenames& renames, const std::string& where);

}  // namespace xls
