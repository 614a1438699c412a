#include "platform/WritableByUser.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <vector>

namespace tolvar {

namespace {

// The write bit that applies to this user: the owner's, a group's of the user's, or the others'.
bool writeBitFor(const QByteArray& path)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return false;
    if (st.st_uid == ::geteuid())
        return st.st_mode & S_IWUSR;
    std::vector<gid_t> groups(static_cast<std::size_t>(qMax(0, ::getgroups(0, nullptr))) + 1);
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(qMax(0, count)));
    groups.push_back(::getegid());
    for (const gid_t g : groups)
        if (g == st.st_gid)
            return st.st_mode & S_IWGRP;
    return st.st_mode & S_IWOTH;
}

}  // namespace

bool writableByUser(const QString& path)
{
    const QFileInfo info(path);
    const QString file = info.canonicalFilePath();
    if (file.isEmpty())
        return false;
    return writeBitFor(QFile::encodeName(file)) && writeBitFor(QFile::encodeName(QFileInfo(file).absolutePath()));
}

}  // namespace tolvar
