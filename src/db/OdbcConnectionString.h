// OdbcConnectionString: an ODBC connection string read into its attributes and written back whole,
// so that the text a driver receives is the one the program built: the settings' database, user and
// password put in their place, every value braced where it must be. Reading follows the ODBC rules:
// "KEY=value;" pairs, a value in braces may hold ';' and '=' and writes '}' as "}}"; keywords
// match without regard to case. A brace never closed is a Failure (DbOpenFailed).
// FreeTDS reads braces its own way: a braced value ends at the first "};" and "}}" stays two
// braces. Written for it, a '}' is left single, and a value holding "};", which it cannot be
// given, is a Failure (DbOpenFailed) rather than a different value.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace tolvar {

class OdbcConnectionString {
public:
    static OdbcConnectionString parse(const QString& text);

    // The value of the keyword's first attribute, braces taken off; nullopt when it has none.
    std::optional<QString> value(QStringView keyword) const;
    // The keyword takes this value: in the place of its first attribute (any others go), or last.
    void set(const QString& keyword, const QString& value);
    // Every attribute of the keyword goes.
    void remove(QStringView keyword);
    enum class Quoting { Standard, FreeTds };
    // Every attribute as "KEY=value;", those read unchanged as they were written.
    QString text(Quoting quoting = Quoting::Standard) const;

    // A value as an attribute carries it: in braces when it holds a character that would end it.
    static QString braced(const QString& value, Quoting quoting = Quoting::Standard);

private:
    struct Attribute {
        QString keyword;
        QString value;
        QString written;  // the attribute as read; empty once it is set anew
    };
    std::vector<Attribute> attributes_;
};

}  // namespace tolvar
