// The keys of the settings file, each with its section and the value read when it is missing or
// empty: one table for the code that reads the file and the code that writes the save folder.
#pragma once

namespace tolvar {

struct SettingKey {
    const char* section;
    const char* key;
    const char* fallback;
};

namespace settings {
inline constexpr SettingKey kProvider{"PO_DB", "PROVIDER", ""};
inline constexpr SettingKey kServerName{"PO_DB", "SERVER_NM", ""};
inline constexpr SettingKey kDbName{"PO_DB", "DB_NM", ""};
inline constexpr SettingKey kUserName{"PO_DB", "DBUSER_NM", ""};
inline constexpr SettingKey kPassword{"PO_DB", "PASSWORD", ""};
// Seconds; 0, empty, absent or not a number mean the default of 20.
inline constexpr SettingKey kConnectTimeout{"PO_DB", "CONECT_TIMEOUT", "0"};
// "1": the connection must be encrypted and the server's certificate verified, or there is none.
inline constexpr SettingKey kEncrypt{"PO_DB", "ENCRYPT", ""};
// The certificate (PEM) of the authority that signed the server's, for PostgreSQL and FreeTDS;
// a relative path is taken from the program folder.
inline constexpr SettingKey kCaFile{"PO_DB", "CA_FILE", ""};
inline constexpr SettingKey kSaveFolder{"全般", "PO_SAVE_FOLDER", ""};
// "1" ticks "PDFも作成する" when the output dialog opens; anything else leaves it unticked. Read only.
inline constexpr SettingKey kPdfOutput{"全般", "PDF_OUTPUT", ""};
}  // namespace settings

}  // namespace tolvar
