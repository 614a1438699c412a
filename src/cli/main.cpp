// tolvar-po: the PO workbooks without a window.
#include "cli/TolvarPo.h"
#include "util/KeepFreedMemory.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    tolvar::keepFreedMemory();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = tolvar::runTolvarPo(app.arguments(), out, err);
    out.flush();
    err.flush();
    return status;
}
