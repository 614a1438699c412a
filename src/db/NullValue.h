// isNullValue: whether a value bound to a statement is for the database a NULL: a null variant,
// and Qt's null texts, byte arrays and invalid dates and times, as Qt's drivers take them.
#pragma once

#include <QVariant>

namespace tolvar {

bool isNullValue(const QVariant& value);

}  // namespace tolvar
