#include "platform/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace tolvar {

namespace {

// How many names beside the target are tried before giving up (another process may hold one).
constexpr int kNameAttempts = 100;

int openUnnamed(const QByteArray& folder, mode_t mode)
{
#ifdef O_TMPFILE
    // The file gets its name through /proc at the end: without /proc, it is named from the start.
    if (::access("/proc/self/fd", X_OK) != 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#else
    (void)folder;
    (void)mode;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

// The file system cannot make a file without a name: the caller makes a named one instead.
bool unnamedUnsupported(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

}  // namespace

struct ReplacingFile::Impl {
    QString path;
    QByteArray target;  // the name replaced, in its folder
    int fd = -1;
    QByteArray asideName;  // the new file's name while it has one (before commit: made named)
    bool namedOnly = false;
    bool complete = false;  // every byte written
    QString error;

    bool fail(const QString& text)
    {
        error = text;
        return false;
    }
    bool failErrno() { return fail(qt_error_string(errno)); }

    // ".tolvar-PID-N.tmp" beside the target: hidden, short whatever the target's name (a name of
    // the longest length the folder allows still has room for it), and the process's own unless
    // another machine writes to the same folder, which is why a taken name is skipped.
    QByteArray asideCandidate(int attempt) const
    {
        const qsizetype slash = target.lastIndexOf('/');
        return target.left(slash + 1) + ".tolvar-" + QByteArray::number(::getpid()) + '-' +
               QByteArray::number(attempt) + ".tmp";
    }

    bool openNamed(mode_t mode)
    {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const QByteArray name = asideCandidate(attempt);
            fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, mode);
            if (fd >= 0) {
                asideName = name;
                return true;
            }
            if (errno != EEXIST)
                return failErrno();
        }
        return failErrno();
    }

    // Gives the unnamed file its name beside the target.
    bool link()
    {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const QByteArray name = asideCandidate(attempt);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                asideName = name;
                return true;
            }
            if (errno != EEXIST)
                return failErrno();
        }
        return failErrno();
    }
};

ReplacingFile::ReplacingFile(const QString& path, Aside aside) : d(std::make_unique<Impl>())
{
    d->path = path;
    d->namedOnly = aside == Aside::Named;
}

ReplacingFile::~ReplacingFile()
{
    if (d->fd >= 0)
        ::close(d->fd);
    if (!d->asideName.isEmpty())
        ::unlink(d->asideName.constData());
}

bool ReplacingFile::write(const char* data, qint64 size)
{
    if (d->fd >= 0 || !d->target.isEmpty())
        return d->fail(QStringLiteral("the file is already written"));
    // The name in the folder itself, never what a link there points at: a link is replaced by the
    // new file, not written through (a link planted in a shared save folder must not send the
    // workbook over another file of the user's).
    d->target = QFile::encodeName(d->path);
    const QByteArray folder = QFile::encodeName(QFileInfo(d->path).absolutePath());
    struct stat older;
    const bool exists = ::lstat(d->target.constData(), &older) == 0;
    if (exists && S_ISDIR(older.st_mode))
        return d->fail(QStringLiteral("the name is a folder's"));
    if (exists && !S_ISREG(older.st_mode) && !S_ISLNK(older.st_mode))
        return d->fail(QStringLiteral("the name is that of a device, a pipe or a socket, not a file"));
    const bool replacing = exists && S_ISREG(older.st_mode);
    if (replacing && ::access(d->target.constData(), W_OK) != 0 && errno == EACCES)
        return d->fail(QStringLiteral("the file there may not be written"));

    // Until it has the older file's permissions the new one is its owner's alone.
    const mode_t mode = replacing ? 0600 : 0666;
    if (!d->namedOnly)
        d->fd = openUnnamed(folder, mode);
    if (d->fd < 0 && !d->namedOnly && !unnamedUnsupported(errno))
        return d->failErrno();
    if (d->fd < 0 && !d->openNamed(mode))
        return false;
    if (replacing && ::fchmod(d->fd, older.st_mode & 0777) != 0)
        return d->failErrno();

    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(d->fd, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? d->failErrno() : d->fail(QStringLiteral("nothing more could be written"));
        done += n;
    }
#ifdef SYNC_FILE_RANGE_WRITE
    // A hint only: where it fails, the flush at commit writes everything.
    (void)::sync_file_range(d->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    d->complete = true;
    return true;
}

bool ReplacingFile::commit()
{
    if (d->fd < 0 || !d->complete)
        return d->fail(QStringLiteral("the file was not written"));
    // A flush the file system cannot do is no failure; one that could not write the data is.
    if (::fdatasync(d->fd) != 0 && errno != EINVAL && errno != EROFS && errno != EOPNOTSUPP)
        return d->failErrno();
    if (d->asideName.isEmpty() && !d->link())
        return false;
    const int fd = d->fd;
    d->fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return d->failErrno();
    if (::rename(d->asideName.constData(), d->target.constData()) != 0)
        return d->failErrno();  // the destructor removes the new file
    d->asideName.clear();
    return true;
}

QString ReplacingFile::errorString() const
{
    return d->error;
}

}  // namespace tolvar
