// PoBatch: the workbooks of many POs one after the other, each made exactly as po_file_make makes
// one and only one held in memory at a time, then their PDFs in one LibreOffice process. A PO that
// fails is recorded with its failure and the batch goes on. The caller hears of every step and may
// stop the batch: a workbook in progress is finished (it takes milliseconds), a PDF in progress is
// abandoned; what is done stays. The PO connection must be open.
#pragma once

#include "pofile/PdfPrinter.h"
#include "pofile/bas_po_file_make.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace tolvar {

struct PoBatchItem {
    enum class Outcome { Made, NotFound, Failed, NotReached };
    QString poNo;
    Outcome outcome = Outcome::NotReached;
    QString workbook;   // the path, when made
    qint32 number = 0;  // the failure's number and description, when it failed
    QString description;
    bool pdfMade = false;
    qint32 pdfNumber = 0;  // why the PDF was not made, when one was asked for
    QString pdfError;
};

struct PoBatchResult {
    std::vector<PoBatchItem> items;
    bool cancelled = false;
    int count(PoBatchItem::Outcome outcome) const;
    int pdfsMade() const;
    int pdfsFailed() const;
};

class PoBatch {
public:
    // Where the batch is: a workbook (index from 0 of total, its PO) or, in the PDF phase, the
    // number of PDFs done. False stops the batch.
    struct Step {
        bool pdfPhase = false;
        int done = 0;
        int total = 0;
        QString poNo;
    };
    using Progress = std::function<bool(const Step& step)>;

    PoBatch(PoFileOptions options, bool pdf, int pdfTimeoutSeconds = PdfPrinter::kDefaultTimeoutSeconds);
    PoBatchResult run(const QStringList& poNumbers, const Progress& progress = {}) const;

private:
    PoFileOptions options_;
    bool pdf_;
    int pdfTimeoutSeconds_;
};

}  // namespace tolvar
