// The purchase-order form filled on any template, without a database: the sheets of a number of
// pages prepared as the workbook generation prepares them, and a trial that writes a sample value
// into every cell the form writes. checkTemplate tells an administrator whether a template can be
// used, one finding per line, in plain words.
#pragma once

#include "ooxml/Workbook.h"
#include "xls/Workbook.h"

#include <string>
#include <vector>

namespace tolvar::form {

// The two formats a template comes in, told apart by its bytes: an Office Open XML package (an
// encrypted one included, which the engine then refuses), else a BIFF8 workbook.
enum class TemplateFormat { Biff8, OfficeOpenXml };
TemplateFormat templateFormat(xls::ByteView bytes);

// The template holds exactly the two forms, the delivery form first.
bool hasFormSheets(const xls::Workbook& book);
bool hasFormSheets(const ooxml::Workbook& book);
// Copies the two forms for pages 2 and on (all copies taken before any sheet is renamed) and names
// every page's pair; a workbook of 0 pages keeps the template's names.
void preparePages(xls::Workbook& book, int pages);
void preparePages(ooxml::Workbook& book, int pages);
// Prepares `pages` pages and writes a sample value into every header, line and total cell.
void fillTrialForm(xls::Workbook& book, int pages);
void fillTrialForm(ooxml::Workbook& book, int pages);

struct Finding {
    bool problem;  // false: a note; the template can still be used
    std::string text;
};
// Everything that stands in the way of a template, or is worth knowing about it: content the
// engine cannot keep, the two sheets, form cells inside a merged range or holding a formula, date
// cells without a date format, and whether a three-page trial workbook reads back as written.
std::vector<Finding> checkTemplate(xls::ByteView bytes);

}  // namespace tolvar::form
