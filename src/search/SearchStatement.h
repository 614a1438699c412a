// The PO search statement, built from the search conditions without any widget: the text with a
// '?' placeholder for every typed value, and the values in order. Typed LIKE wildcards keep their
// meaning; a quote is just a character, because no value is ever spliced into the text.
#pragma once

#include <QDate>
#include <QString>
#include <QVariantList>

namespace tolvar {

struct SearchConditions {
    QString poNo;     // find_po_no
    QString tantoCd;  // find_tanto_cd
    QString tokCd;    // find_tok_cd
    QDate sDate;      // dtpSDate
    QDate eDate;      // dtpEDate
    QString kbnText;  // find_po_kbn's text: empty, "全て", "PO" or "GK"
    QDate today;
};

struct SearchStatement {
    QString text;
    // The values as the statement's own text has them: the dates as yyyy/MM/dd texts, which a
    // database that keeps its dates as such texts (SQLite) compares as they are.
    QVariantList values;
    // The same with the dates as dates, for a database that converts a date text for every row
    // where it converts a date once (SQL Server through ODBC).
    QVariantList typedValues;
    const QVariantList& valuesFor(bool typedDates) const { return typedDates ? typedValues : values; }
    // The text with each value put back between apostrophes, as the statement reads to a person.
    QString rendered() const;
};

SearchStatement buildSearchStatement(const SearchConditions& conditions);

}  // namespace tolvar
