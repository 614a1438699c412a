// writableByUser: whether the user may replace a file (links followed): write it and write its
// folder, by the permissions the file system gives the user, not by the superuser's or an
// administrator's override. The settings file beside the program is the office's, not the user's,
// where this is false.
#pragma once

#include <QString>

namespace tolvar {

bool writableByUser(const QString& path);

}  // namespace tolvar
