#include "db/NullValue.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace tolvar {

bool isNullValue(const QVariant& value)
{
    if (value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString: return static_cast<const QString*>(value.constData())->isNull();
    case QMetaType::QByteArray: return static_cast<const QByteArray*>(value.constData())->isNull();
    case QMetaType::QDate: return !value.toDate().isValid();
    case QMetaType::QTime: return !value.toTime().isValid();
    case QMetaType::QDateTime: return !value.toDateTime().isValid();
    default: return false;
    }
}

}  // namespace tolvar
