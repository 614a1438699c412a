// Helpers that wrap platform services: opening a file with the application associated with it,
// the machine name, and (in BrowseForFolder.h, for the widgets) the folder picker. Each shows its
// own failure messages and hands back a plain result.
#pragma once

#include "platform/ShellOpen.h"
#include "util/ScopedSeam.h"

#include <QString>
#include <functional>

namespace tolvar {

// Opens the file with its associated application (the Windows shell; xdg-open on Linux). Shows "ファイルが存在しません"
// for code 2 and the "起動できません。…" message for any other code up to 32.
qint32 ShellOpenFile(const QString& path);

// The host name; an empty one shows "コンピュータ名取得失敗。…" and gives the empty text.
QString GetSelfComputerName();

// What actually opens a file; tests record the calls instead. Returns a ShellResult.
using ShellOpener = std::function<qint32(const QString& path)>;
// While it lives, ShellOpenFile asks `opener` instead of starting an application.
class ShellOpenerForTesting : public ScopedSeam<ShellOpener> {
public:
    explicit ShellOpenerForTesting(ShellOpener opener);
};

// While it lives, the machine name comes from `source` (tests supply an empty one).
class ComputerNameForTesting : public ScopedSeam<std::function<QString()>> {
public:
    explicit ComputerNameForTesting(std::function<QString()> source);
};

}  // namespace tolvar
