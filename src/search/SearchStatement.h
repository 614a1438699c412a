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
    QVariantList values;
    // The text with each value put back between apostrophes, as the statement reads to a person.
    QString rendered() const;
};

SearchStatement buildSearchStatement(const SearchConditions& conditions);

}  // namespace tolvar
