// tolvar-po: the PO workbooks without a window.
#include "cli/TolvarPo.h"
#include "platform/Console.h"
#include "platform/KeepFreedMemory.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    tolvar::keepFreedMemory();
    QCoreApplication app(argc, argv);
    const auto outDevice = tolvar::openConsole(stdout);
    const auto errDevice = tolvar::openConsole(stderr);
    QTextStream out(outDevice.get());
    QTextStream err(errDevice.get());
    const int status = tolvar::runTolvarPo(app.arguments(), out, err);
    out.flush();
    err.flush();
    return status;
}
