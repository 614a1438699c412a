#include "widgets/DatePicker.h"

#include "util/DateFormat.h"

namespace tolvar {

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    setDisplayFormat(kDateFormat);
    setCalendarPopup(true);
}

bool DatePicker::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

}  // namespace tolvar
