#include "platform/ReplacingFile.h"

#include <windows.h>
#include <QDir>
#include <QFileInfo>

namespace tolvar {

namespace {

constexpr int kNameAttempts = 100;

std::wstring wide(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString lastError()
{
    return qt_error_string(int(::GetLastError()));
}

}  // namespace

struct ReplacingFile::Impl {
    QString path;
    std::wstring target;
    std::wstring aside;  // the new file's name, until it is moved into place
    HANDLE file = INVALID_HANDLE_VALUE;
    bool complete = false;
    QString error;

    bool fail(const QString& text)
    {
        error = text;
        return false;
    }
    void close()
    {
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
};

ReplacingFile::ReplacingFile(const QString& path, Aside) : d(std::make_unique<Impl>())
{
    d->path = path;
}

ReplacingFile::~ReplacingFile()
{
    d->close();
    if (!d->aside.empty())
        ::DeleteFileW(d->aside.c_str());
}

bool ReplacingFile::write(const char* data, qint64 size)
{
    if (d->file != INVALID_HANDLE_VALUE || !d->target.empty())
        return d->fail(QStringLiteral("the file is already written"));
    d->target = wide(d->path);
    // The name in the folder itself: a link there is replaced by the move, not written through.
    const DWORD attributes = ::GetFileAttributesW(d->target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return d->fail(QStringLiteral("the name is a folder's"));
        if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return d->fail(QStringLiteral("the file there may not be written"));
    }
    // ".tolvar-PID-N.tmp" beside the target: short whatever the target's name.
    const QString folder = QFileInfo(d->path).absolutePath();
    for (int attempt = 0; attempt < kNameAttempts && d->file == INVALID_HANDLE_VALUE; ++attempt) {
        const std::wstring name =
            wide(folder + QStringLiteral("/.tolvar-%1-%2.tmp").arg(::GetCurrentProcessId()).arg(attempt));
        d->file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (d->file != INVALID_HANDLE_VALUE)
            d->aside = name;
        else if (::GetLastError() != ERROR_FILE_EXISTS)
            return d->fail(lastError());
    }
    if (d->file == INVALID_HANDLE_VALUE)
        return d->fail(lastError());
    for (qint64 done = 0; done < size;) {
        const DWORD chunk = DWORD(qMin<qint64>(size - done, 1 << 30));
        DWORD written = 0;
        if (!::WriteFile(d->file, data + done, chunk, &written, nullptr) || written == 0)
            return d->fail(lastError());
        done += written;
    }
    d->complete = true;
    return true;
}

bool ReplacingFile::commit()
{
    if (d->file == INVALID_HANDLE_VALUE || !d->complete)
        return d->fail(QStringLiteral("the file was not written"));
    if (!::FlushFileBuffers(d->file))
        return d->fail(lastError());
    d->close();
    if (!::MoveFileExW(d->aside.c_str(), d->target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return d->fail(lastError());  // the destructor removes the new file
    d->aside.clear();
    return true;
}

QString ReplacingFile::errorString() const
{
    return d->error;
}

}  // namespace tolvar
