// Small helpers the windows share: placing a named control by its form position, and the busy
// pointer held for the length of a task.
#pragma once

#include <QApplication>
#include <QRect>
#include <QString>

namespace tolvar {

// Names the widget after its control and puts it at its form position (pixels).
template <typename W>
W* place(W* widget, const char* name, QRect geometry)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

// The application-wide busy pointer until release() or the end of the scope.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    void release()
    {
        if (active_)
            QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

}  // namespace tolvar
