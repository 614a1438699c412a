#include "settings/clsIniFile.h"

#include "settings/IniDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tolvar {

namespace {

// The file as it is now; a missing or unreadable file reads as an empty one.
IniDocument readDocument(const QString& fileName)
{
    QFile file(fileName);
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return IniDocument();
    return IniDocument(file.readAll());
}

bool fileExists(const QString& fileName)
{
    return !fileName.isEmpty() && QFileInfo(fileName).isFile();
}

// Writes through a temporary file that then replaces the original, so a failed write never
// leaves half a file. A read-only file is not replaced.
bool writeDocument(const QString& fileName, const IniDocument& document)
{
    if (fileName.isEmpty())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes = document.bytes();
    if (document.encoding() == IniEncoding::Utf8Bom && !bytes.startsWith("\xEF\xBB\xBF"))
        bytes.prepend("\xEF\xBB\xBF");
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

// A NUL-separated list ended by a double NUL, cut as the platform cuts it in the answer buffer:
// when the list does not fit, it holds what fits less two characters, then the double NUL.
QString nullList(const QStringList& items, IniEncoding encoding)
{
    QString list;
    for (const QString& item : items)
        list += item + QChar(0);
    qsizetype bytes = 0;
    for (QChar c : list)
        bytes += IniCodec::byteLength(c.unicode(), encoding);
    if (bytes + 1 > clsIniFile::kBufferSize)
        list = IniCodec::cutToBytes(list, clsIniFile::kBufferSize - 2, encoding) + QChar(0);
    list += QChar(0);
    // The rest of the buffer was filled with NUL characters before the call.
    list += QString(qMax<qsizetype>(0, clsIniFile::kBufferSize - list.size()), QChar(0));
    return list;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

}  // namespace

qint32 clsIniFile::SplitNullList(QStringList& items, const QString& list)
{
    qint32 i = 0;
    QStringView rest(list);
    for (;;) {
        const qsizetype nul = rest.indexOf(QChar(0));
        if (nul <= 0)
            break;
        // Keep the elements already there, exactly as a resize that preserves does.
        if (items.size() > i + 1)
            items.erase(items.begin() + i + 1, items.end());
        while (items.size() < i + 1)
            items.append(QString());
        items[i] = rest.left(nul).toString();
        rest = rest.mid(nul + 1);
        ++i;
    }
    return i;
}

void clsIniFile::holdContents()
{
    held_ = readDocument(fileName_);
}

IniDocument clsIniFile::current() const
{
    return held_ ? *held_ : readDocument(fileName_);
}

qint32 clsIniFile::EmnumSection(QStringList& sections) const
{
    const IniDocument document = current();
    return SplitNullList(sections, nullList(document.sectionNames(), document.encoding()));
}

qint32 clsIniFile::EnumSectionString(QStringList& entries) const
{
    const IniDocument document = current();
    return SplitNullList(entries, nullList(document.sectionEntries(section_), document.encoding()));
}

void clsIniFile::DeleteKeyName(const QString& key)
{
    held_.reset();
    if (!fileExists(fileName_))
        return;
    IniDocument document = readDocument(fileName_);
    if (!document.value(section_, key))
        return;
    document.removeKey(section_, key);
    writeDocument(fileName_, document);
}

void clsIniFile::DeleteSection(QString& section)
{
    held_.reset();
    if (section.isEmpty())
        section = section_;
    if (!fileExists(fileName_))
        return;
    IniDocument document = readDocument(fileName_);
    const QByteArray before = document.bytes();
    document.removeSection(section);
    if (document.bytes() != before)
        writeDocument(fileName_, document);
}

bool clsIniFile::SetString(const QString& key, const QString& value)
{
    held_.reset();
    IniDocument document = readDocument(fileName_);
    if (!document.setValue(section_, key, value))
        return false;
    return writeDocument(fileName_, document);
}

QString clsIniFile::GetString(const QString& key, const QString& defaultValue) const
{
    const IniDocument document = current();
    QString answer;
    if (const auto value = document.value(section_, key)) {
        answer = *value;
    } else {
        // The platform strips trailing blanks from the default it copies into the buffer.
        answer = defaultValue;
        while (!answer.isEmpty() && isBlank(answer.back()))
            answer.chop(1);
    }
    // The answer is a C string in the buffer: it ends at a NUL and at the buffer's size.
    const qsizetype nul = answer.indexOf(QChar(0));
    if (nul >= 0)
        answer.truncate(nul);
    answer = IniCodec::cutToBytes(answer, kBufferSize - 1, document.encoding());
    return answer.isEmpty() ? defaultValue : answer;
}

qint32 clsIniFile::GetInteger(const QString& key, qint16 defaultValue) const
{
    const IniDocument document = current();
    const auto value = document.value(section_, key);
    if (!value || value->isEmpty())
        return defaultValue;
    // The leading decimal digits, with an optional minus; the platform's arithmetic wraps.
    qsizetype i = 0;
    const bool negative = value->startsWith(QLatin1Char('-'));
    if (negative)
        ++i;
    quint32 result = 0;
    for (; i < value->size(); ++i) {
        const QChar c = value->at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        result = result * 10u + static_cast<quint32>(c.unicode() - u'0');
    }
    if (negative)
        result = 0u - result;
    return static_cast<qint32>(result);
}

}  // namespace tolvar
