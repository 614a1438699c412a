#include "platform/LibreOfficeLocation.h"

#include <QStandardPaths>

namespace tolvar {

QString findSoffice()
{
    return QStandardPaths::findExecutable(QStringLiteral("soffice"));
}

}  // namespace tolvar
