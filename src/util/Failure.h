// Failure: the one error type of the program. It carries a number and a description, as the
// office's messages show them ("description(number)"). Procedures that report their own
// failures catch it and turn it into a message; everywhere else it rises to the program-wide
// last resort.
#pragma once

#include "util/FailureCodes.h"

#include <QString>
#include <exception>
#include <string>

namespace tolvar {

class Failure : public std::exception {
public:
    Failure(qint32 number, QString description);
    // One of the program's own failures: its number, and its text followed by the detail, if any.
    static Failure of(FailureCode code, const QString& detail = {});

    qint32 number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    // The form every message uses: the description directly followed by "(number)".
    QString messageText() const;
    const char* what() const noexcept override { return what_.c_str(); }

private:
    qint32 number_;
    QString description_;
    std::string what_;
};

}  // namespace tolvar
