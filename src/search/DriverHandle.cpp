#include "search/DriverHandle.h"

#include <QSqlDriver>

namespace tolvar {

void* driverHandle(const QSqlDatabase& database, std::initializer_list<const char*> typeNames)
{
    if (!database.driver())
        return nullptr;
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid())
        return nullptr;
    for (const char* type : typeNames)
        if (qstrcmp(handle.typeName(), type) == 0)
            return *static_cast<void* const*>(handle.constData());
    return nullptr;
}

bool allText(const QVariantList& values)
{
    for (const QVariant& v : values)
        if (v.typeId() != QMetaType::QString)
            return false;
    return true;
}

}  // namespace tolvar
