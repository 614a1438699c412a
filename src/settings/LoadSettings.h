// LoadSettings: reads the settings file beside the executable once at start-up into
// gPoDbSetting, gPoSaveFolder and gPdfOutput. Result 0 when read, 1 when not; every failure is shown as a
// message first ("イニファイルが見つかりません。", or the failure with caption "イニファイル", a file
// there that may not be read among them).
// Where that file is the office's (not the user's to replace: an installation for all the users
// of a machine), each user's choice of save folder lives in a settings file of the user's own,
// read after the office's for that key only; elsewhere the one file serves for everything.
#pragma once

#include "settings/DbSetting.h"

#include <QString>

namespace tolvar {

extern DbSetting gPoDbSetting;
extern QString gPoSaveFolder;
// Whether the output dialog opens with "PDFも作成する" ticked.
extern bool gPdfOutput;

// The program folder, the separator, the executable's base name and ".ini".
QString SettingsFilePath();

// The user's own settings file: $XDG_CONFIG_HOME/tolvar/tolvar.ini (~/.config/...), on Windows
// %APPDATA%\Tolvar\tolvar.ini. Same format, encoding and write rules as the office's.
QString UserSettingsFilePath();
// Where the save folder chosen with "..." is written: the settings file when it is the user's to
// replace, else the user's own.
QString SaveFolderSettingsPath(const QString& settingsFilePath);

qint32 LoadSettings();
// The same from a settings file named by the caller (tolvar-po --settings).
qint32 LoadSettings(const QString& settingsFilePath);

}  // namespace tolvar
