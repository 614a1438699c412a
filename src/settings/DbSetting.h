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
    // Beyond the Parts' keys: an encrypted connection whose server is verified, required; and
    // the certificate of the authority that verifies it, where the driver takes one.
    bool Encrypt = false;
    QString CaFile;
};

}  // namespace tolvar
