#include "output/frmOutSetting.h"

#include "db/dbOpen.h"
#include "output/BatchProgress.h"
#include "output/BatchReport.h"
#include "pofile/PdfPrinter.h"
#include "pofile/PoBatch.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "util/Messages.h"
#include "util/basKansu.h"
#include "widgets/FormWidgets.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>

namespace tolvar {

frmOutSetting::frmOutSetting(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmOutSetting"));
    setModal(true);
    setFixedSize(twips(5955), twips(3750));
    // No icon of its own: a transparent one keeps the application's from showing.
    QPixmap none(16, 16);
    none.fill(Qt::transparent);
    setWindowIcon(QIcon(none));

    Label1 = place(new QLabel(QStringLiteral("エクセルファイルを作成します。"), this), "Label1",
                   twipsRect(360, 240, 5175, 255));
    Frame1 = place(new QGroupBox(QStringLiteral("設定"), this), "Frame1", twipsRect(360, 600, 5175, 1695));
    cheFileOpen =
        place(new QCheckBox(QStringLiteral("作成後ﾌｧｲﾙを開く"), Frame1), "cheFileOpen", twipsRect(480, 360, 3255, 255));
    chePdf = place(new QCheckBox(QStringLiteral("PDFも作成する"), Frame1), "chePdf", twipsRect(480, 720, 3255, 255));
    cmdOK = place(new QPushButton(QStringLiteral("OK"), this), "cmdOK", twipsRect(3000, 3000, 1215, 375));
    cmdCancel = place(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel", twipsRect(4320, 3000, 1215, 375));
    // OK is the default: Enter presses it unless the focus is on another button, which Enter then
    // presses instead (ｷｬﾝｾﾙ with the focus on it writes nothing).
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel->setAutoDefault(true);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cheFileOpen);
    setTabOrder(cheFileOpen, chePdf);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    // Cancel, like Escape and the close button, only closes.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmOutSetting::F_Open(const QString& poNo)
{
    poNumbers_ = {poNo};
    batch_ = false;
    showFresh(poNo, QStringLiteral("エクセルファイルを作成します。"), QStringLiteral("作成後ﾌｧｲﾙを開く"));
}

void frmOutSetting::F_OpenBatch(const QStringList& poNumbers)
{
    poNumbers_ = poNumbers;
    batch_ = true;
    const QString count = QStringLiteral("%1件").arg(poNumbers.size());
    showFresh(count, count + QStringLiteral("のエクセルファイルを作成します。"), QStringLiteral("作成後ﾌｫﾙﾀﾞを開く"));
}

// Every opening is a fresh form: the texts of its form, the boxes as they start.
void frmOutSetting::showFresh(const QString& caption, const QString& label, const QString& openText)
{
    setWindowTitle(caption);
    Label1->setText(label);
    cheFileOpen->setText(openText);
    cheFileOpen->setChecked(false);
    chePdf->setChecked(gPdfOutput);
    setEnabled(true);
    cmdOK->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    exec();
}

void frmOutSetting::cmdOK_Click()
{
    if (batch_)
        makeBatch();
    else
        makeOne();
}

void frmOutSetting::makeOne()
{
    const QString poNo = poNumbers_.value(0);
    BusyPointer pointer;
    setEnabled(false);
    if (dbOpen() != 0) {
        // dbOpen has said why; the user may try again or cancel.
        pointer.release();
        setEnabled(true);
        return;
    }
    // Any other failure here rises to the last resort; the older workbook is still intact. For a
    // PDF, LibreOffice prints a private copy of the checked workbook.
    QTemporaryDir copies;
    PoFileOptions options;
    if (chePdf->isChecked() && copies.isValid())
        options.checkedCopyFolder = copies.path();
    const PoFileResult result = po_file_make(poNo, options);
    dbClose();
    const QString workbook = poFilePath(gPoSaveFolder, poNo, poTemplatePath(options));
    bool told = false;
    if (result == PoFileResult::Written && chePdf->isChecked()) {
        // LibreOffice takes seconds: the windows keep repainting meanwhile.
        const PdfPrinter::Job job{QDir(copies.path()).filePath(QFileInfo(workbook).fileName()), workbook};
        const std::vector<PdfPrinter::Result> pdf = PdfPrinter().print({job}, [](int, int) {
            QApplication::processEvents();
            return true;
        });
        if (!pdf.front().made()) {
            MsgBox(QStringLiteral("エクセルファイルは作成しましたが、PDFを作成できませんでした。\n%1: %2 (%3)")
                       .arg(pdf.front().pdf, pdf.front().error)
                       .arg(pdf.front().number),
                   MsgIcon::Critical, QStringLiteral("エラー"));
            told = true;
        }
    }
    if (result == PoFileResult::NotFound) {
        MsgBox(QStringLiteral("POが見つかりません。"), MsgIcon::Critical, QStringLiteral("エラー"));
    } else if (cheFileOpen->isChecked()) {
        QApplication::processEvents();
        ShellOpenFile(workbook);
        QApplication::processEvents();
    } else if (!told) {
        MsgBox(QStringLiteral("作成しました。"), MsgIcon::Information, QStringLiteral("終了"));
    }
    pointer.release();
    setEnabled(true);
    accept();
}

void frmOutSetting::makeBatch()
{
    {
        BusyPointer pointer;
        setEnabled(false);
        const bool open = dbOpen() == 0;
        setEnabled(true);
        // When it is not, dbOpen has said why; the user may try again or cancel.
        if (!open)
            return;
    }
    PoBatchResult result;
    {
        // The progress window, modal to the whole program, takes the user's input meanwhile (this
        // dialog stays enabled, as a disabled one would disable it too): its ｷｬﾝｾﾙ stops the batch
        // after the workbook in progress; what is made stays.
        BatchProgress progress(this, windowTitle(), static_cast<int>(poNumbers_.size()), chePdf->isChecked());
        result = PoBatch(PoFileOptions{}, chePdf->isChecked()).run(poNumbers_, [&progress](const PoBatch::Step& step) {
            return progress.step(step);
        });
    }
    dbClose();
    const Message report = batchReport(result);
    MsgBox(report.text, report.icon, report.caption);
    if (cheFileOpen->isChecked() && result.count(PoBatchItem::Outcome::Made) > 0) {
        QApplication::processEvents();
        ShellOpenFile(gPoSaveFolder);
        QApplication::processEvents();
    }
    accept();
}

}  // namespace tolvar
