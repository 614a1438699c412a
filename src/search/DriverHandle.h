// DriverHandle: what the direct readers of a search's rows need from a Qt SQL connection: the
// database library's own connection behind it, and whether the values to bind are all text.
#pragma once

#include <QSqlDatabase>
#include <QVariantList>
#include <initializer_list>

namespace tolvar {

// The native connection of a connection through the Qt driver `driver`, when the driver hands it
// out under one of `typeNames` (the type Qt registered it as); nullptr otherwise.
void* driverHandle(const QSqlDatabase& database, const char* driver, std::initializer_list<const char*> typeNames);

// Whether every value is a text: the direct readers bind text only and leave the rest to the driver.
bool allText(const QVariantList& values);

}  // namespace tolvar
