#include "settings/LoadSettings.h"

#include "settings/clsIniFile.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"
#include "util/ProgramPaths.h"

#include <QFileInfo>

namespace tolvar {

DbSetting gPoDbSetting;
QString gPoSaveFolder;

namespace {

constexpr qint32 kDefaultTimeout = 20;

// Only a readable regular file counts: a directory or an unreadable file is as good as missing.
bool settingsFileFound(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

}  // namespace

QString SettingsFilePath()
{
    return programFile(executableBaseName() + QStringLiteral(".ini"));
}

qint32 LoadSettings()
{
    return LoadSettings(SettingsFilePath());
}

qint32 LoadSettings(const QString& settingsFilePath)
{
    try {
        if (!settingsFileFound(settingsFilePath)) {
            MsgBox(QStringLiteral("イニファイルが見つかりません。"), MsgIcon::Critical, QStringLiteral("エラー"));
            return 1;
        }
        clsIniFile ini;
        ini.setFileName(settingsFilePath);
        ini.setSection(QStringLiteral("PO_DB"));
        gPoDbSetting.Provider = ini.GetString(QStringLiteral("PROVIDER"), QString());
        gPoDbSetting.ServerName = ini.GetString(QStringLiteral("SERVER_NM"), QString());
        gPoDbSetting.DbName = ini.GetString(QStringLiteral("DB_NM"), QString());
        gPoDbSetting.UserName = ini.GetString(QStringLiteral("DBUSER_NM"), QString());
        gPoDbSetting.Password = ini.GetString(QStringLiteral("PASSWORD"), QString());

        const qint32 timeout = ini.GetInteger(QStringLiteral("CONECT_TIMEOUT"), 0);
        if (timeout < 0) {
            // A negative time-out cannot be meant; it is refused rather than guessed at.
            throw Failure::of(FailureCode::TypeMismatch,
                              QStringLiteral("CONECT_TIMEOUT に負の値 %1 は使えません。").arg(timeout));
        }
        gPoDbSetting.ConnectTimeout = timeout == 0 ? kDefaultTimeout : timeout;

        ini.setSection(QStringLiteral("全般"));
        gPoSaveFolder = ini.GetString(QStringLiteral("PO_SAVE_FOLDER"), QString());
        return 0;
    } catch (const Failure& failure) {
        MsgBox(failure.messageText(), MsgIcon::Critical, QStringLiteral("イニファイル"));
        return 1;
    }
}

}  // namespace tolvar
