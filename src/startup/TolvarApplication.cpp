#include "startup/TolvarApplication.h"

#include "startup/LastResort.h"
#include "util/Messages.h"

#include <QFont>

namespace tolvar {

TolvarApplication::TolvarApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name only: a display name would be appended by the window system to every caption
    // ("S000293 — Tolvar"), and the captions are the forms' own texts.
    setApplicationName(applicationTitle());
    // One Japanese font throughout, at the forms' 9 points, instead of a Latin font with a
    // fallback for Japanese: the controls were laid out for it.
    QFont font(QStringLiteral("IPAGothic"));
    font.setPointSize(9);
    setFont(font);
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
