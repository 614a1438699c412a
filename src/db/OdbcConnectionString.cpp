#include "db/OdbcConnectionString.h"

#include "util/Failure.h"
#include "util/FailureCodes.h"

namespace tolvar {

OdbcConnectionString OdbcConnectionString::parse(const QString& text)
{
    OdbcConnectionString result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(';') || text[i].isSpace()))
            ++i;
        if (i >= n)
            break;
        const qsizetype start = i;
        while (i < n && text[i] != QLatin1Char('=') && text[i] != QLatin1Char(';'))
            ++i;
        Attribute a;
        a.keyword = text.mid(start, i - start).trimmed();
        if (i < n && text[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && text[i] == QLatin1Char(' '))
                ++i;
            if (i < n && text[i] == QLatin1Char('{')) {
                // Up to the brace that closes it: "}}" stands for one '}'.
                ++i;
                bool closed = false;
                while (i < n) {
                    if (text[i] == QLatin1Char('}')) {
                        if (i + 1 < n && text[i + 1] == QLatin1Char('}')) {
                            a.value += QLatin1Char('}');
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    a.value += text[i++];
                }
                if (!closed)
                    throw Failure::of(FailureCode::DbOpenFailed,
                                      QStringLiteral("ODBC: %1= has a '{' that is never closed").arg(a.keyword));
                while (i < n && text[i] != QLatin1Char(';'))
                    ++i;
            } else {
                const qsizetype valueStart = i;
                while (i < n && text[i] != QLatin1Char(';'))
                    ++i;
                a.value = text.mid(valueStart, i - valueStart).trimmed();
            }
        }
        a.written = text.mid(start, i - start).trimmed();
        result.attributes_.push_back(std::move(a));
    }
    return result;
}

std::optional<QString> OdbcConnectionString::value(QStringView keyword) const
{
    for (const Attribute& a : attributes_)
        if (a.keyword.compare(keyword, Qt::CaseInsensitive) == 0)
            return a.value;
    return std::nullopt;
}

void OdbcConnectionString::set(const QString& keyword, const QString& value)
{
    bool placed = false;
    for (auto it = attributes_.begin(); it != attributes_.end();) {
        if (it->keyword.compare(keyword, Qt::CaseInsensitive) != 0) {
            ++it;
        } else if (!placed) {
            *it = Attribute{keyword, value, {}};
            placed = true;
            ++it;
        } else {
            it = attributes_.erase(it);
        }
    }
    if (!placed)
        attributes_.push_back(Attribute{keyword, value, {}});
}

void OdbcConnectionString::remove(QStringView keyword)
{
    std::erase_if(attributes_,
                  [&](const Attribute& a) { return a.keyword.compare(keyword, Qt::CaseInsensitive) == 0; });
}

QString OdbcConnectionString::text(Quoting quoting) const
{
    QString out;
    for (const Attribute& a : attributes_) {
        if (!a.written.isEmpty())
            out += a.written;
        else if (a.keyword.compare(QLatin1String("DRIVER"), Qt::CaseInsensitive) == 0 && !a.value.contains(u'}'))
            out += a.keyword + QStringLiteral("={") + a.value + QLatin1Char('}');  // as every example names drivers
        else
            out += a.keyword + QLatin1Char('=') + braced(a.value, quoting);
        out += QLatin1Char(';');
    }
    return out;
}

QString OdbcConnectionString::braced(const QString& value, Quoting quoting)
{
    const bool needsBraces = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
                             value.contains(QLatin1Char('}')) || value.contains(QLatin1Char('=')) ||
                             value != value.trimmed();
    if (!needsBraces)
        return value;
    if (quoting == Quoting::FreeTds) {
        if (value.contains(QLatin1String("};")))
            throw Failure::of(FailureCode::DbOpenFailed,
                              QStringLiteral("(FreeTDS: a connection value cannot hold \"};\")"));
        return QLatin1Char('{') + value + QLatin1Char('}');
    }
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

}  // namespace tolvar
