// DbSetting: the PO database's connection settings, one field per key of the "PO_DB" section.
#pragma once

#include <QString>

namespace tolvar {

struct DbSetting {
    QString Provider;
    QString ServerName;
    QString DbName;
    QString UserName;
    QString Password;
    qint32 ConnectTimeout = 0;  // seconds
};

}  // namespace tolvar
