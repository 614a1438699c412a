// LoadSettings: reads the settings file beside the executable once at start-up into
// gPoDbSetting, gPoSaveFolder and gPdfOutput. Result 0 when read, 1 when not; every failure is shown as a
// message first ("イニファイルが見つかりません。", or the failure with caption "イニファイル").
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

qint32 LoadSettings();
// The same from a settings file named by the caller (tolvar-po --settings).
qint32 LoadSettings(const QString& settingsFilePath);

}  // namespace tolvar
