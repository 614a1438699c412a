#include "platform/OdbcDrivers.h"

#include <QSettings>

namespace tolvar {

std::optional<QStringList> installedOdbcDrivers()
{
    // Every installed driver is a value "Installed" under this key; 64-bit programs read the
    // 64-bit view, which is what QSettings gives a 64-bit program.
    const QSettings drivers(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"),
                            QSettings::NativeFormat);
    QStringList names;
    for (const QString& name : drivers.childKeys())
        if (drivers.value(name).toString().compare(QLatin1String("Installed"), Qt::CaseInsensitive) == 0)
            names << name;
    return names;
}

}  // namespace tolvar
