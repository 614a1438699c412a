#include "settings/IniDocument.h"

namespace tolvar {

namespace {

// The platform trims blanks, tabs and other control whitespace around names and values.
bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f');
}

QString trimmed(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s.at(b)))
        ++b;
    while (e > b && isBlank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}

QString stripQuotes(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

char16_t asciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

bool hasLineBreak(const QString& s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')) || s.contains(QChar(0));
}

}  // namespace

bool iniNamesEqual(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a.at(i).unicode()) != asciiLower(b.at(i).unicode()))
            return false;
    return true;
}

IniDocument::IniDocument() = default;

IniDocument::IniDocument(QByteArray bytes) : bytes_(std::move(bytes))
{
    encoding_ = IniCodec::detect(bytes_);
    bodyStart_ = encoding_ == IniEncoding::Utf8Bom ? 3 : 0;
    const qsizetype lf = bytes_.indexOf('\n');
    if (lf >= 0)
        lineEnd_ = (lf > 0 && bytes_.at(lf - 1) == '\r') ? QByteArray("\r\n") : QByteArray("\n");
    parse();
}

void IniDocument::parse()
{
    lines_.clear();
    qsizetype pos = bodyStart_;
    while (pos < bytes_.size()) {
        Line line;
        line.begin = pos;
        const qsizetype lf = bytes_.indexOf('\n', pos);
        line.next = lf < 0 ? bytes_.size() : lf + 1;
        line.end = lf < 0 ? bytes_.size() : lf;
        if (line.end > line.begin && bytes_.at(line.end - 1) == '\r')
            --line.end;
        pos = line.next;

        const QString text = trimmed(
            IniCodec::decode(QByteArrayView(bytes_.constData() + line.begin, line.end - line.begin), encoding_));
        if (text.startsWith(QLatin1Char('['))) {
            // A header without "]" still opens a section named by the rest of the line.
            const qsizetype close = text.indexOf(QLatin1Char(']'));
            line.kind = Kind::Section;
            line.name = trimmed(close < 0 ? text.mid(1) : text.mid(1, close - 1));
        } else if (!text.isEmpty() && !text.startsWith(QLatin1Char(';'))) {
            line.kind = Kind::Entry;
            const qsizetype eq = text.indexOf(QLatin1Char('='));
            line.hasEquals = eq >= 0;
            line.name = trimmed(eq < 0 ? text : text.left(eq));
            line.rawValue = eq < 0 ? QString() : trimmed(text.mid(eq + 1));
        }
        lines_.push_back(std::move(line));
    }
}

IniDocument::Range IniDocument::findSection(const QString& section) const
{
    Range range;
    const QString wanted = trimmed(section);
    for (qsizetype i = 0; i < static_cast<qsizetype>(lines_.size()); ++i) {
        if (lines_[i].kind != Kind::Section)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (iniNamesEqual(lines_[i].name, wanted))
            range.header = i;
    }
    range.end = static_cast<qsizetype>(lines_.size());
    return range;
}

qsizetype IniDocument::findKey(const Range& range, const QString& key) const
{
    if (range.header < 0)
        return -1;
    const QString wanted = trimmed(key);
    for (qsizetype i = range.header + 1; i < range.end; ++i)
        if (lines_[i].kind == Kind::Entry && iniNamesEqual(lines_[i].name, wanted))
            return i;
    return -1;
}

QStringList IniDocument::sectionNames() const
{
    QStringList names;
    for (const Line& line : lines_)
        if (line.kind == Kind::Section)
            names.append(line.name);
    return names;
}

QStringList IniDocument::sectionEntries(const QString& section) const
{
    QStringList entries;
    const Range range = findSection(section);
    if (range.header < 0)
        return entries;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const Line& line = lines_[i];
        if (line.kind != Kind::Entry)
            continue;
        entries.append(line.hasEquals ? line.name + QLatin1Char('=') + line.rawValue : line.name);
    }
    return entries;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const
{
    const qsizetype i = findKey(findSection(section), key);
    if (i < 0)
        return std::nullopt;
    return stripQuotes(lines_[i].rawValue);
}

std::optional<QByteArray> IniDocument::encodeLine(const QString& text) const
{
    if (hasLineBreak(text))
        return std::nullopt;
    return IniCodec::encode(text, encoding_);
}

void IniDocument::replaceBytes(qsizetype from, qsizetype to, const QByteArray& with)
{
    bytes_.replace(from, to - from, with);
    parse();
}

bool IniDocument::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString name = trimmed(key);
    const QString sectionName = trimmed(section);
    // A key or section that would read back as something else is refused, never written.
    if (name.isEmpty() || name.contains(QLatin1Char('=')) || name.startsWith(QLatin1Char('[')) ||
        name.startsWith(QLatin1Char(';')) || sectionName.contains(QLatin1Char(']')))
        return false;
    const auto valueBytes = encodeLine(value);
    const auto entryBytes = encodeLine(name + QLatin1Char('='));
    const auto headerBytes = encodeLine(QLatin1Char('[') + sectionName + QLatin1Char(']'));
    if (!valueBytes || !entryBytes || !headerBytes)
        return false;

    const Range range = findSection(section);
    const qsizetype keyLine = findKey(range, key);
    if (keyLine >= 0) {
        // Keep the key as it is spelled, the '=' and the blanks after it; replace the rest.
        const Line& line = lines_[keyLine];
        const qsizetype eq = bytes_.indexOf('=', line.begin);
        if (eq >= 0 && eq < line.end) {
            qsizetype start = eq + 1;
            while (start < line.end && (bytes_.at(start) == ' ' || bytes_.at(start) == '\t'))
                ++start;
            replaceBytes(start, line.end, *valueBytes);
        } else {
            QByteArray rewritten = bytes_.mid(line.begin, line.end - line.begin);
            rewritten += '=' + *valueBytes;
            replaceBytes(line.begin, line.end, rewritten);
        }
        return true;
    }

    const QByteArray entry = *entryBytes + *valueBytes + lineEnd_;
    if (range.header >= 0) {
        // After the last line of the section that is not blank, so that separators stay.
        qsizetype after = range.header;
        for (qsizetype i = range.end - 1; i > range.header; --i) {
            if (lines_[i].kind != Kind::Other || lines_[i].end > lines_[i].begin) {
                after = i;
                break;
            }
        }
        const Line& last = lines_[after];
        const bool hasEnd = last.next > last.end;
        replaceBytes(last.next, last.next, hasEnd ? entry : lineEnd_ + entry);
        return true;
    }

    QByteArray tail;
    if (bytes_.size() > bodyStart_) {
        if (!bytes_.endsWith('\n'))
            tail += lineEnd_;
        if (!lines_.empty() && lines_.back().end > lines_.back().begin)
            tail += lineEnd_;
    }
    tail += *headerBytes + lineEnd_ + entry;
    replaceBytes(bytes_.size(), bytes_.size(), tail);
    return true;
}

void IniDocument::removeKey(const QString& section, const QString& key)
{
    const qsizetype i = findKey(findSection(section), key);
    if (i >= 0)
        replaceBytes(lines_[i].begin, lines_[i].next, {});
}

void IniDocument::removeSection(const QString& section)
{
    const Range range = findSection(section);
    if (range.header < 0)
        return;
    const qsizetype to = range.end < static_cast<qsizetype>(lines_.size()) ? lines_[range.end].begin : bytes_.size();
    replaceBytes(lines_[range.header].begin, to, {});
}

}  // namespace tolvar
