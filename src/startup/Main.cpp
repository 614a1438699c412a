#include "startup/Main.h"

#include "db/dbOpen.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "startup/SingleInstance.h"
#include "startup/StaffCode.h"
#include "util/Globals.h"
#include "util/Messages.h"
#include "util/basKansu.h"
#include "widgets/FormWidgets.h"

#include <QApplication>

namespace tolvar {

StartupOutcome Main(SingleInstance& instance, const QStringList& arguments, std::unique_ptr<frmMain>& window)
{
    if (!instance.acquire())
        return StartupOutcome::AlreadyRunning;

    BusyPointer pointer;
    gTantoCd = staffCodeFrom(argumentText(arguments));

    if (LoadSettings() != 0) {
        MsgBox(QStringLiteral("初期化失敗\r\n強制終了します。"), MsgIcon::Critical, QStringLiteral("強制終了"));
        return StartupOutcome::SettingsFailed;
    }
    if (dbOpen() != 0) {
        MsgBox(QStringLiteral("データベースに接続できませんでした。\r\n強制終了します。"), MsgIcon::Critical,
               QStringLiteral("エラー"));
        return StartupOutcome::DatabaseFailed;
    }
    // Only a test: every later task opens its own connection.
    dbClose();

    gComputerName = GetSelfComputerName();
    pointer.release();

    if (!window)
        window = std::make_unique<frmMain>();
    window->show();
    return StartupOutcome::Running;
}

int exitStatusFor(StartupOutcome outcome)
{
    switch (outcome) {
    case StartupOutcome::Running:
    case StartupOutcome::AlreadyRunning: return 0;
    case StartupOutcome::SettingsFailed:
    case StartupOutcome::DatabaseFailed: return 1;
    }
    return 1;
}

}  // namespace tolvar
