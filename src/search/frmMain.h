// frmMain: the search window, the program's main window.
#pragma once

#include <QWidget>

namespace tolvar {

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
};

}  // namespace tolvar
