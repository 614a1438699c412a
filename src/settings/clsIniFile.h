// clsIniFile: one settings file and one current section. Reads text and integer values, writes
// text values, deletes keys and sections and lists section names and a section's entries, with
// the semantics of the Windows private-profile functions the office's files were made with.
// Every call reads the file again, unless the caller holds its contents for a series of reads
// (holdContents). No member raises or shows anything: a missing file, section or key reads as the
// default, and only SetString reports a failed write.
#pragma once

#include "settings/IniDocument.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tolvar {

class clsIniFile {
public:
    // The platform's answer buffer: answers longer than this (less the terminating NUL) are cut.
    static constexpr qsizetype kBufferSize = 32767;

    clsIniFile() = default;  // FileName and Section both start as the empty text

    qint32 EmnumSection(QStringList& sections) const;
    qint32 EnumSectionString(QStringList& entries) const;
    void setFileName(const QString& fileName)
    {
        fileName_ = fileName;
        held_.reset();
    }
    // The reads that follow answer from the file as it is now, read once, until a write or another
    // file name: a series of values then comes from one version of the file.
    void holdContents();
    void setSection(const QString& section) { section_ = section; }
    QString Section() const { return section_; }
    QString FileName() const { return fileName_; }
    void DeleteKeyName(const QString& key);
    // An empty section name is first replaced, in the caller's variable, by the current Section.
    void DeleteSection(QString& section);
    bool SetString(const QString& key, const QString& value);
    QString GetString(const QString& key, const QString& defaultValue) const;
    qint32 GetInteger(const QString& key, qint16 defaultValue) const;

private:
    static qint32 SplitNullList(QStringList& items, const QString& list);
    IniDocument current() const;

    QString fileName_;
    QString section_;
    std::optional<IniDocument> held_;
};

}  // namespace tolvar
