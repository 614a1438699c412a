#include "platform/PrivateFolder.h"

#include <QDir>

namespace tolvar {

QString privateFolder()
{
    // Each user's own, under the profile: no other user of the PC may enter it.
    return QDir::tempPath();
}

}  // namespace tolvar
