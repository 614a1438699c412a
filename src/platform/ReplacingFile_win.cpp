#include "platform/ReplacingFile.h"

#include <QSaveFile>

namespace tolvar {

struct ReplacingFile::Impl {
    QSaveFile file;
    QString error;
};

ReplacingFile::ReplacingFile(const QString& path, Aside) : d(std::make_unique<Impl>())
{
    d->file.setFileName(path);
}

ReplacingFile::~ReplacingFile() = default;

bool ReplacingFile::write(const char* data, qint64 size)
{
    if (d->file.open(QIODevice::WriteOnly) && d->file.write(data, size) == size && d->file.flush())
        return true;
    d->error = d->file.errorString();
    d->file.cancelWriting();
    return false;
}

bool ReplacingFile::commit()
{
    if (d->file.commit())
        return true;
    d->error = d->file.errorString();
    return false;
}

QString ReplacingFile::errorString() const
{
    return d->error;
}

}  // namespace tolvar
