#include "platform/WritableByUser.h"

#include <QFileInfo>

// Qt reads a file's access control list for QFileInfo::isWritable only while this is above zero.
extern Q_CORE_EXPORT int qt_ntfs_permission_lookup;

namespace tolvar {

bool writableByUser(const QString& path)
{
    ++qt_ntfs_permission_lookup;
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    const bool writable = file.exists() && file.isWritable() && QFileInfo(file.absolutePath()).isWritable();
    --qt_ntfs_permission_lookup;
    return writable;
}

}  // namespace tolvar
