// DriverHandle: what the direct readers of a search's rows need from a Qt SQL connection: the
// database library's own connection behind it, and whether the values to bind are all text.
#pragma once

#include <QSqlDatabase>
#include <QVariantList>
#include <initializer_list>

namespace tolvar {

// The native connection behind a connection, when its driver (Qt's plugin or the program's own)
// hands it out under one of `typeNames`, the library's own type; nullptr otherwise.
void* driverHandle(const QSqlDatabase& database, std::initializer_list<const char*> typeNames);

// Whether every value is a text: the direct readers bind text only and leave the rest to the driver.
bool allText(const QVariantList& values);

}  // namespace tolvar
