// tolvar-po: the PO workbooks without a window, for scripts and batches: the POs named, or those
// that search conditions select through the search window's statement, each made as the window
// makes one, optionally with a PDF beside it; --list prints the selection, --check-template tells
// an administrator whether a template can be used. One connection for the whole run; each file
// made on its own line of standard output, a progress line on standard error when it is a
// terminal, one summary line at the end. Exit statuses are in the usage text.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace tolvar {

int runTolvarPo(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace tolvar
