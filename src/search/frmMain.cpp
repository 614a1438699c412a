#include "search/frmMain.h"

#include "util/Messages.h"

namespace tolvar {

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(applicationTitle());
}

}  // namespace tolvar
