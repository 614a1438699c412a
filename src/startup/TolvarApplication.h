// The desktop program's application object. Every event Qt delivers passes its notify(), which
// is where a failure that no handler caught reaches the program-wide last resort.
#pragma once

#include <QApplication>

namespace tolvar {

class TolvarApplication : public QApplication {
public:
    TolvarApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tolvar
