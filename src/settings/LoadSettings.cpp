#include "settings/LoadSettings.h"

#include "settings/SettingsKeys.h"
#include "settings/clsIniFile.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"
#include "util/ProgramPaths.h"

#include <QFileInfo>

namespace tolvar {

DbSetting gPoDbSetting;
QString gPoSaveFolder;
bool gPdfOutput = false;

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
        ini.holdContents();
        auto text = [&](const SettingKey& k) {
            ini.setSection(QString::fromUtf8(k.section));
            return ini.GetString(QString::fromUtf8(k.key), QString::fromUtf8(k.fallback));
        };
        gPoDbSetting.Provider = text(settings::kProvider);
        gPoDbSetting.ServerName = text(settings::kServerName);
        gPoDbSetting.DbName = text(settings::kDbName);
        gPoDbSetting.UserName = text(settings::kUserName);
        gPoDbSetting.Password = text(settings::kPassword);

        ini.setSection(QString::fromUtf8(settings::kConnectTimeout.section));
        const qint32 timeout = ini.GetInteger(QString::fromUtf8(settings::kConnectTimeout.key),
                                              QString::fromUtf8(settings::kConnectTimeout.fallback).toShort());
        if (timeout < 0) {
            // A negative time-out cannot be meant; it is refused rather than guessed at.
            throw Failure::of(FailureCode::TypeMismatch,
                              QStringLiteral("CONECT_TIMEOUT に負の値 %1 は使えません。").arg(timeout));
        }
        gPoDbSetting.ConnectTimeout = timeout == 0 ? kDefaultTimeout : timeout;
        gPoSaveFolder = text(settings::kSaveFolder);
        gPdfOutput = text(settings::kPdfOutput).trimmed() == QLatin1String("1");
        return 0;
    } catch (const Failure& failure) {
        MsgBox(failure.messageText(), MsgIcon::Critical, QStringLiteral("イニファイル"));
        return 1;
    }
}

}  // namespace tolvar
