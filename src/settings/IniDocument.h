// IniDocument: the bytes of one settings file and the lines they form, with the reading rules
// and the byte-preserving edits that clsIniFile needs. Names are matched without regard to
// ASCII case, blanks around names and values are trimmed, one pair of enclosing quotes is
// stripped from a value, and the first of duplicate sections or keys wins. An edit changes only
// the lines it names and keeps the file's encoding and line ending; every other byte stays.
#pragma once

#include "settings/IniCodec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tolvar {

class IniDocument {
public:
    // A new, empty file: CP932 with CRLF line ends.
    IniDocument();
    explicit IniDocument(QByteArray bytes);

    const QByteArray& bytes() const { return bytes_; }
    IniEncoding encoding() const { return encoding_; }
    QByteArray lineEnd() const { return lineEnd_; }

    QStringList sectionNames() const;
    // Each entry of the section as "key=value" (or "key" for a line without '=').
    QStringList sectionEntries(const QString& section) const;
    // The value of the key, without blanks and enclosing quotes; nothing when the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;

    // The edits return false when the text cannot be written into this file (a character the
    // file's encoding cannot hold, a line break, a key that would read back differently).
    bool setValue(const QString& section, const QString& key, const QString& value);
    void removeKey(const QString& section, const QString& key);
    void removeSection(const QString& section);

private:
    enum class Kind { Other, Section, Entry };
    struct Line {
        qsizetype begin = 0;  // first byte of the line
        qsizetype end = 0;    // end of its content (before CR LF / LF)
        qsizetype next = 0;   // first byte of the following line
        Kind kind = Kind::Other;
        QString name;      // section name or key
        QString rawValue;  // text after '=', trimmed; empty for other lines
        bool hasEquals = false;
    };
    struct Range {
        qsizetype header = -1;  // index of the section's header line, -1 when missing
        qsizetype end = 0;      // one past its last line
    };

    void parse();
    Range findSection(const QString& section) const;
    qsizetype findKey(const Range& range, const QString& key) const;
    void replaceBytes(qsizetype from, qsizetype to, const QByteArray& with);
    std::optional<QByteArray> encodeLine(const QString& text) const;

    QByteArray bytes_;
    IniEncoding encoding_ = IniEncoding::Cp932;
    QByteArray lineEnd_ = "\r\n";
    qsizetype bodyStart_ = 0;  // after a byte-order mark
    std::vector<Line> lines_;
};

// Names of sections and keys compare equal when they differ only in the case of ASCII letters.
bool iniNamesEqual(const QString& a, const QString& b);

}  // namespace tolvar
