// The forms in which database values reach the workbook's cells: as is, as text, as a date text,
// and the number reading that amounts and choices use ("0" followed by the value's text, read as
// far as it forms a number, so that NULL and text give 0).
#pragma once

#include "xls/CellValue.h"

#include <QString>
#include <QVariant>

namespace tolvar {

// The value's text: numbers in plain decimal notation ("." as the point, no grouping, at most 15
// significant digits, no trailing zeros), dates as YYYY/MM/DD, NULL as the empty text.
QString textForm(const QVariant& value);
// The number at the start of "0" + the value's text; blanks, tabs and line feeds are skipped. A
// boolean is -1 for true and 0 for false, as the automation reads one.
double numberReading(const QVariant& value);
// A plain decimal text of a double, as textForm writes numbers.
QString plainDecimal(double value);
// A date column's value as a date: a date, or text in the forms YYYY/MM/DD or YYYY-MM-DD with an
// optional time after it. Null when it is neither.
QDate dateOf(const QVariant& value);
// "YYYY/MM/DD" of the date, or the empty text for NULL.
QString dateText(const QVariant& value);

// The value with its own type: NULL empty, text text, numbers numbers, dates dates.
xls::CellValue asIs(const QVariant& value, bool dateColumn = false);
xls::CellValue textCell(const QString& text);

}  // namespace tolvar
