#include "pofile/PoBatch.h"

#include "settings/LoadSettings.h"
#include "util/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>

namespace tolvar {

int PoBatchResult::count(PoBatchItem::Outcome outcome) const
{
    return static_cast<int>(
        std::count_if(items.begin(), items.end(), [outcome](const PoBatchItem& i) { return i.outcome == outcome; }));
}

int PoBatchResult::pdfsMade() const
{
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const PoBatchItem& i) { return i.pdfMade; }));
}

int PoBatchResult::pdfsFailed() const
{
    return static_cast<int>(
        std::count_if(items.begin(), items.end(), [](const PoBatchItem& i) { return !i.pdfError.isEmpty(); }));
}

PoBatch::PoBatch(PoFileOptions options, bool pdf, int pdfTimeoutSeconds)
    : options_(std::move(options)), pdf_(pdf), pdfTimeoutSeconds_(pdfTimeoutSeconds)
{
}

PoBatchResult PoBatch::run(const QStringList& poNumbers, const Progress& progress) const
{
    PoBatchResult result;
    const auto total = static_cast<int>(poNumbers.size());
    for (const QString& poNo : poNumbers) {
        PoBatchItem item;
        item.poNo = poNo;
        result.items.push_back(item);
    }
    const QString folder = options_.saveFolder.isEmpty() ? gPoSaveFolder : options_.saveFolder;
    // The checked bytes of each workbook, kept where only this process looks, for the PDFs.
    QTemporaryDir copies;
    if (pdf_ && !copies.isValid())
        throw Failure::of(FailureCode::PdfWriteFailed, copies.errorString());

    for (int i = 0; i < total; ++i) {
        PoBatchItem& item = result.items[static_cast<std::size_t>(i)];
        if (progress && !progress(Step{false, i, total, item.poNo})) {
            result.cancelled = true;
            return result;
        }
        try {
            PoFileOptions options = options_;
            options.keepTemplate = options_.keepTemplate || i + 1 < total;
            if (pdf_)
                options.checkedCopyFolder = copies.path();
            if (po_file_make(item.poNo, options) == PoFileResult::NotFound) {
                item.outcome = PoBatchItem::Outcome::NotFound;
            } else {
                item.outcome = PoBatchItem::Outcome::Made;
                item.workbook = poFilePath(folder, item.poNo, poTemplatePath(options));
            }
        } catch (const Failure& failure) {
            // One PO's failure is its own: the others are still made.
            item.outcome = PoBatchItem::Outcome::Failed;
            item.number = failure.number();
            item.description = failure.description();
        }
    }
    if (!pdf_ || result.count(PoBatchItem::Outcome::Made) == 0)
        return result;

    std::vector<PdfPrinter::Job> jobs;
    std::vector<PoBatchItem*> made;
    for (PoBatchItem& item : result.items)
        if (item.outcome == PoBatchItem::Outcome::Made) {
            jobs.push_back({QDir(copies.path()).filePath(QFileInfo(item.workbook).fileName()), item.workbook});
            made.push_back(&item);
        }
    bool stopped = false;
    const std::vector<PdfPrinter::Result> pdfs = PdfPrinter(pdfTimeoutSeconds_).print(jobs, [&](int done, int count) {
        if (progress &&
            !progress(Step{true, done, count, made[static_cast<std::size_t>(std::min(done, count - 1))]->poNo}))
            stopped = true;
        return !stopped;
    });
    for (std::size_t k = 0; k < pdfs.size(); ++k) {
        made[k]->pdfMade = pdfs[k].made();
        made[k]->pdfNumber = pdfs[k].number;
        made[k]->pdfError = pdfs[k].error;
    }
    result.cancelled = stopped;
    return result;
}

}  // namespace tolvar
