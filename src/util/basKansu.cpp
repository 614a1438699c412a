#include "util/basKansu.h"

#include "platform/ShellOpen.h"
#include "util/Messages.h"

#include <QSysInfo>

namespace tolvar {

namespace {

ShellOpener shellOpener;
std::function<QString()> computerNameSource;

}  // namespace

qint32 ShellOpenFile(const QString& path)
{
    const qint32 result = shellOpener ? shellOpener(path) : openWithAssociatedApplication(path);
    if (result == kShellFileNotFound)
        MsgBox(QStringLiteral("ファイルが存在しません"));
    else if (result < 33)
        MsgBox(QStringLiteral("起動できません。\u3000実行ファイルが無いか拡張子の関連付けがありません。"));
    return result;
}

QString GetSelfComputerName()
{
    QString name = computerNameSource ? computerNameSource() : QSysInfo::machineHostName();
    const qsizetype nul = name.indexOf(QChar(0));
    if (nul >= 0)
        name.truncate(nul);
    if (name.isEmpty())
        MsgBox(QStringLiteral("コンピュータ名取得失敗。\r\n管理者に報告してください。"), MsgIcon::None,
               QStringLiteral("GetSelfComputerName"));
    return name;
}

ShellOpenerForTesting::ShellOpenerForTesting(ShellOpener opener) : ScopedSeam(shellOpener, std::move(opener)) {}

ComputerNameForTesting::ComputerNameForTesting(std::function<QString()> source)
    : ScopedSeam(computerNameSource, std::move(source))
{
}

}  // namespace tolvar
