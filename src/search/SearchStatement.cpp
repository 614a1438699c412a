#include "search/SearchStatement.h"

#include "util/DateFormat.h"

namespace tolvar {

namespace {

const QString kSelect = QStringLiteral(
    "Select 発注区分, PO番号, PO発行日, 得意先CD, 得意先名, 納品先名, 請求先名, 希望納期, 発注元担当者CD, "
    "発注元担当者名 ");
const QString kFrom = QStringLiteral("From TBL_PO_H ");
const QString kOrder = QStringLiteral(" Order By PO番号 Desc");

QString kindPiece(const QString& kbnText)
{
    if (kbnText == QLatin1String("PO"))
        return QStringLiteral(" And 発注区分 = '0' ");
    if (kbnText == QLatin1String("GK"))
        return QStringLiteral(" And 発注区分 = '1' ");
    return QStringLiteral(" ");  // nothing chosen, or "全て"
}

}  // namespace

SearchStatement buildSearchStatement(const SearchConditions& c)
{
    SearchStatement s;
    const auto bind = [&s](const QVariant& text, const QVariant& typed) {
        s.values << text;
        s.typedValues << typed;
    };
    QString where;
    if (!c.poNo.isEmpty()) {
        // A PO number replaces the staff, customer and date conditions.
        where = QStringLiteral("Where PO番号=?");
        bind(c.poNo, c.poNo);
    } else {
        where = QStringLiteral("Where 発注元担当者CD Like ?");
        bind(c.tantoCd + QLatin1Char('%'), c.tantoCd + QLatin1Char('%'));
        if (!c.tokCd.isEmpty()) {
            where += QStringLiteral(" And 得意先CD Like ?");
            bind(c.tokCd + QLatin1Char('%'), c.tokCd + QLatin1Char('%'));
        }
        if (c.sDate != c.today || c.eDate != c.today) {
            where += QStringLiteral(" and PO発行日 Between ? And ?");
            bind(c.sDate.toString(kDateFormat), c.sDate);
            bind(c.eDate.toString(kDateFormat), c.eDate);
        }
    }
    s.text = kSelect + kFrom + where + kindPiece(c.kbnText) + kOrder;
    return s;
}

QString SearchStatement::rendered() const
{
    QString out;
    qsizetype next = 0;
    for (QChar ch : text) {
        if (ch == QLatin1Char('?') && next < values.size())
            out += QLatin1Char('\'') + values.at(next++).toString() + QLatin1Char('\'');
        else
            out += ch;
    }
    return out;
}

}  // namespace tolvar
