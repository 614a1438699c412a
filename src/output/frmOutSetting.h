// frmOutSetting: the output dialog that confirms the workbook of one PO, or in its batch form of
// several. OK makes the workbook between opening and closing the PO connection, prints it to PDF
// when "PDFも作成する" is ticked, then opens it with its application (when the box is ticked) or
// says "作成しました。". The batch form makes the POs in order behind a progress window that can
// cancel, reports them in one message and may open the save folder. Cancel, Escape or the close
// button do nothing.
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace tolvar {

class frmOutSetting : public QDialog {
    Q_OBJECT
public:
    explicit frmOutSetting(QWidget* parent = nullptr);

    // Shows the dialog modally for the PO, freshly loaded: caption the PO number, box unticked.
    void F_Open(const QString& poNo);
    // The batch form for the POs, in their order: caption and label "N件", the box opens the folder.
    void F_OpenBatch(const QStringList& poNumbers);

private:
    void showFresh(const QString& caption, const QString& label, const QString& openText);
    void cmdOK_Click();
    void makeOne();
    void makeBatch();

    // The form's controls; tests find them by these object names.
    QLabel* Label1;
    QGroupBox* Frame1;
    QCheckBox* cheFileOpen;
    QCheckBox* chePdf;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    QStringList poNumbers_;
    bool batch_ = false;
};

}  // namespace tolvar
