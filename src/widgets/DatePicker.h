// DatePicker: the form's date picker. A QDateEdit that shows yyyy/MM/dd and drops a calendar down,
// with the keys of the picker the forms were made with: Tab and Shift+Tab go to the next and the
// previous control (QDateEdit would step through the year, month and day first); the arrow keys
// move between the year, month and day and change them.
#pragma once

#include <QDateEdit>

namespace tolvar {

class DatePicker : public QDateEdit {
public:
    explicit DatePicker(QWidget* parent = nullptr);

protected:
    bool focusNextPrevChild(bool next) override;
};

}  // namespace tolvar
