// ChartLinks: the charts embedded in a copied worksheet. A chart names the cells it plots (its
// series' values and categories, its linked titles) by formulas in BRAI records, with 3-D
// references through the workbook's XTIs. On a copy, a reference to a sheet that was copied
// together with it names that sheet's copy, so that the copy's chart plots the copy's cells;
// a reference to any other sheet stays as it was, as the spreadsheet application's copy keeps it.
#pragma once

#include "xls/ExternSheets.h"
#include "xls/Record.h"

#include <map>
#include <string>
#include <vector>

namespace xls {

// sheet: the copy's records; copies: the sheets copied together, by 0-based position, each to its
// copy's. Throws for a chart formula that cannot be walked; changes nothing then.
void retargetChartReferences(std::vector<Record>& sheet, ExternSheets& xtis, const std::map<int, int>& copies,
                             const std::string& where);

}  // namespace xls
