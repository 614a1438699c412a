// BatchProgress: the progress window of a batch of workbooks: "n / N" and the PO being made (then
// the PDFs the same way), a bar and a ｷｬﾝｾﾙ button. Every step repaints the program's windows and
// reads the button, so a press takes effect at the next step: after the workbook in progress, or
// within 50 ms while LibreOffice prints.
#pragma once

#include "pofile/PoBatch.h"

#include <QProgressDialog>

namespace tolvar {

class BatchProgress : public QObject {
public:
    BatchProgress(QWidget* parent, const QString& caption, int total, bool pdf);
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    // Shows where the batch is; false once ｷｬﾝｾﾙ was pressed.
    bool step(const PoBatch::Step& step);

protected:
    // Escape cancels, as the button does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QProgressDialog dialog_;
    int total_;
};

}  // namespace tolvar
