#include "startup/TolvarApplication.h"

#include "startup/LastResort.h"
#include "util/Messages.h"

namespace tolvar {

TolvarApplication::TolvarApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(applicationTitle());
    setApplicationDisplayName(applicationTitle());
}

bool TolvarApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportUnhandledCurrentException();
    }
}

}  // namespace tolvar
