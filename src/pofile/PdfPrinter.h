// PdfPrinter: finished workbooks printed to PDF beside them (<name>.pdf) by LibreOffice headless,
// soffice from PATH, which renders every sheet in order with its own page setup and print area.
// All the workbooks go to one LibreOffice process with a profile folder of its own, so that it
// neither disturbs nor waits for a LibreOffice the user has open, and with a time-out for each PDF
// (the first one's includes LibreOffice's start). LibreOffice reads private copies of the checked
// workbooks, never the save folder, where another user could have swapped a file for a link by
// then; each PDF is written beside the workbook as the workbooks are (ReplacingFile: a link at
// its name is replaced, not written through). A PDF that cannot be made has its failure's number
// and description in its result, and the workbooks are never touched.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace tolvar {

class PdfPrinter {
public:
    struct Result {
        QString workbook;
        QString pdf;    // where the PDF is (or would have been)
        qint32 number;  // 0 when the PDF was made, otherwise a FailureCode
        QString error;  // the failure's description; empty when the PDF was made
        bool made() const { return number == 0; }
    };
    // Told how many PDFs are done while LibreOffice works (every 50 ms or so); false cancels: the
    // PDF in progress is abandoned, the ones done are kept.
    using Progress = std::function<bool(int done, int total)>;

    static constexpr int kDefaultTimeoutSeconds = 120;
    explicit PdfPrinter(int timeoutSeconds = kDefaultTimeoutSeconds) : timeoutSeconds_(timeoutSeconds) {}

    // A workbook to print: the private copy of its checked bytes that LibreOffice reads (in a
    // folder of the caller's own), and the workbook in the save folder that the PDF goes beside.
    struct Job {
        QString copy;
        QString workbook;
    };
    // One result per job, in their order.
    std::vector<Result> print(const std::vector<Job>& jobs, const Progress& progress = {}) const;

    // The PDF beside a workbook: the same name with ".pdf".
    static QString pdfPathFor(const QString& workbook);

private:
    int timeoutSeconds_;
};

}  // namespace tolvar
