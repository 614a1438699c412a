#include "startup/StaffCode.h"

namespace tolvar {

QString argumentText(const QStringList& arguments)
{
    return arguments.mid(1).join(QLatin1Char(' '));
}

QString staffCodeFrom(const QString& argumentText)
{
    if (!argumentText.startsWith(QLatin1Char('"')))
        return argumentText;
    // The first and the last character go, whatever the last one is; a lone quote leaves nothing.
    if (argumentText.size() < 2)
        return QString();
    return argumentText.mid(1, argumentText.size() - 2);
}

}  // namespace tolvar
