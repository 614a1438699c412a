#include "settings/LoadSettings.h"

#include "settings/SettingsKeys.h"
#include "settings/clsIniFile.h"
#include "util/Failure.h"
#include "util/FailureCodes.h"
#include "util/Messages.h"
#include "util/ProgramPaths.h"

#include "platform/WritableByUser.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tolvar {

DbSetting gPoDbSetting;
QString gPoSaveFolder;
bool gPdfOutput = false;

namespace {

constexpr qint32 kDefaultTimeout = 20;

// Only a regular file counts: a directory is as good as missing.
bool settingsFileFound(const QString& path)
{
    return QFileInfo(path).isFile();
}

// A link to a file in a folder the user may not enter (the office's settings beside the program,
// for a user outside the office's group) is a settings file there that may not be read, not a
// missing one.
bool behindClosedFolder(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isSymLink() || info.exists())
        return false;
    const QFileInfo folder(QFileInfo(info.symLinkTarget()).absolutePath());
    return folder.isDir() && !folder.isExecutable();
}

}  // namespace

QString SettingsFilePath()
{
    return programFile(executableBaseName() + QStringLiteral(".ini"));
}

QString UserSettingsFilePath()
{
#ifdef Q_OS_WIN
    return QDir(qEnvironmentVariable("APPDATA")).filePath(QStringLiteral("Tolvar/tolvar.ini"));
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tolvar/tolvar.ini");
#endif
}

QString SaveFolderSettingsPath(const QString& settingsFilePath)
{
    return writableByUser(settingsFilePath) ? settingsFilePath : UserSettingsFilePath();
}

qint32 LoadSettings()
{
    return LoadSettings(SettingsFilePath());
}

qint32 LoadSettings(const QString& settingsFilePath)
{
    try {
        if (behindClosedFolder(settingsFilePath))
            throw Failure::of(FailureCode::FileReadFailed, settingsFilePath);
        if (!settingsFileFound(settingsFilePath)) {
            MsgBox(QStringLiteral("イニファイルが見つかりません。"), MsgIcon::Critical, QStringLiteral("エラー"));
            return 1;
        }
        if (!QFileInfo(settingsFilePath).isReadable())
            throw Failure::of(FailureCode::FileReadFailed, settingsFilePath);
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
        gPoDbSetting.Encrypt = text(settings::kEncrypt).trimmed() == QLatin1String("1");
        gPoDbSetting.CaFile = text(settings::kCaFile);

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
        // The office's file: the user's own choice of save folder, where there is one, holds.
        const QString own = SaveFolderSettingsPath(settingsFilePath);
        if (own != settingsFilePath) {
            clsIniFile user;
            user.setFileName(own);
            user.setSection(QString::fromUtf8(settings::kSaveFolder.section));
            const QString folder = user.GetString(QString::fromUtf8(settings::kSaveFolder.key), QString());
            if (!folder.isEmpty())
                gPoSaveFolder = folder;
        }
        return 0;
    } catch (const Failure& failure) {
        MsgBox(failure.messageText(), MsgIcon::Critical, QStringLiteral("イニファイル"));
        return 1;
    }
}

}  // namespace tolvar
