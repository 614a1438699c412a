// frmOutSetting: the output dialog that confirms the workbook of one PO. OK makes the workbook
// between opening and closing the PO connection, then opens it with its application (when the
// box is ticked) or says "作成しました。"; Cancel, Escape or the close button do nothing.
#pragma once

#include <QDialog>

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

private:
    void cmdOK_Click();

    // The form's controls; tests find them by these object names.
    QLabel* Label1;
    QGroupBox* Frame1;
    QCheckBox* cheFileOpen;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    QString poNo_;
};

}  // namespace tolvar
