#include "output/BatchReport.h"

#include "util/FailureCodes.h"

#include <QStringList>

namespace tolvar {

namespace {

// The lines of a list, the first kListed of them and a count of the rest.
void appendListed(QStringList& lines, const QStringList& listed)
{
    for (qsizetype i = 0; i < listed.size() && i < kListed; ++i)
        lines << listed[i];
    if (listed.size() > kListed)
        lines << QStringLiteral("ほか%1件").arg(listed.size() - kListed);
}

}  // namespace

Message batchReport(const PoBatchResult& result)
{
    using Outcome = PoBatchItem::Outcome;
    const int made = result.count(Outcome::Made);
    const int notReached = result.count(Outcome::NotReached);
    QStringList failedPos, failedPdfs;
    int pdfsCancelled = 0;
    for (const PoBatchItem& item : result.items) {
        if (item.outcome == Outcome::NotFound)
            failedPos << QStringLiteral("%1: POが見つかりません。").arg(item.poNo);
        else if (item.outcome == Outcome::Failed)
            failedPos << QStringLiteral("%1: %2 (%3)").arg(item.poNo, item.description).arg(item.number);
        if (item.pdfNumber == toNumber(FailureCode::PdfCancelled))
            ++pdfsCancelled;
        else if (!item.pdfError.isEmpty())
            failedPdfs << QStringLiteral("%1.pdf: %2 (%3)").arg(item.poNo, item.pdfError).arg(item.pdfNumber);
    }

    QStringList lines{QStringLiteral("%1件作成しました。").arg(made)};
    if (notReached > 0)
        lines << QStringLiteral("残りの%1件はｷｬﾝｾﾙしました。").arg(notReached);
    if (pdfsCancelled > 0)
        lines << QStringLiteral("%1件のPDFはｷｬﾝｾﾙしました。").arg(pdfsCancelled);
    if (failedPos.isEmpty() && failedPdfs.isEmpty())
        return {lines.join(QLatin1Char('\n')), QStringLiteral("終了"), MsgIcon::Information};

    if (!failedPos.isEmpty()) {
        lines << QString() << QStringLiteral("%1件作成できませんでした。").arg(failedPos.size());
        appendListed(lines, failedPos);
    }
    if (!failedPdfs.isEmpty()) {
        lines << QString() << QStringLiteral("%1件のPDFを作成できませんでした。").arg(failedPdfs.size());
        appendListed(lines, failedPdfs);
    }
    return {lines.join(QLatin1Char('\n')), QStringLiteral("エラー"), MsgIcon::Critical};
}

}  // namespace tolvar
