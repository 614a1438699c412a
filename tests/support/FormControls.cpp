#include "support/FormControls.h"

namespace tolvar::test {

MainControls::MainControls(const QWidget& w)
    : Frame1(control<QGroupBox>(w, "Frame1")),
      find_tanto_cd(control<QLineEdit>(w, "find_tanto_cd")),
      find_po_kbn(control<QComboBox>(w, "find_po_kbn")),
      find_po_no(control<QLineEdit>(w, "find_po_no")),
      find_tok_cd(control<QLineEdit>(w, "find_tok_cd")),
      dtpSDate(control<QDateEdit>(w, "dtpSDate")),
      Label5(control<QLabel>(w, "Label5")),
      dtpEDate(control<QDateEdit>(w, "dtpEDate")),
      Command1(control<QPushButton>(w, "Command1")),
      TDBGrid1(control<QTableView>(w, "TDBGrid1")),
      txtPoDir(control<QLineEdit>(w, "txtPoDir")),
      Command2(control<QPushButton>(w, "Command2"))
{
    for (QLabel* label : w.findChildren<QLabel*>(QStringLiteral("Label1"))) {
        const int index = label->property("index").toInt();
        if (index >= 0 && index < static_cast<int>(Label1.size()))
            Label1[static_cast<std::size_t>(index)] = label;
    }
    for (std::size_t i = 0; i < Label1.size(); ++i)
        if (!Label1[i])
            ADD_FAILURE() << "no Label1 of index " << i;
}

OutSettingControls::OutSettingControls(const QWidget& d)
    : Label1(control<QLabel>(d, "Label1")),
      Frame1(control<QGroupBox>(d, "Frame1")),
      cheFileOpen(control<QCheckBox>(d, "cheFileOpen")),
      chePdf(control<QCheckBox>(d, "chePdf")),
      cmdOK(control<QPushButton>(d, "cmdOK")),
      cmdCancel(control<QPushButton>(d, "cmdCancel"))
{
}

}  // namespace tolvar::test
