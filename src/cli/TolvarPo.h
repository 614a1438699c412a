// tolvar-po: the PO workbooks without a window, for scripts and batches.
//   tolvar-po [--settings FILE] [--template FILE] [--out DIR] PO_NUMBER...
// One connection for the whole run; each written workbook's path on its own line of standard
// output. Exit status 0 when every PO was written, 3 when some were not found (the others are
// still written), 2 for a usage error, 1 for any other failure ("description (number)").
#pragma once

#include <QStringList>
#include <QTextStream>

namespace tolvar {

int runTolvarPo(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace tolvar
