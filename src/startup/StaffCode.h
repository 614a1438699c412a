// The staff code from the command line: the argument text (the arguments joined by single
// blanks), and when it starts with a double quote, without its first and last character.
#pragma once

#include <QString>
#include <QStringList>

namespace tolvar {

// The command-line text after the program's own name.
QString argumentText(const QStringList& arguments);
QString staffCodeFrom(const QString& argumentText);

}  // namespace tolvar
