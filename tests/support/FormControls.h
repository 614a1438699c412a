// The controls of the two windows, found by their object names (the forms' control names) as a
// test reaches them from outside; a control that is missing fails the test.
#pragma once

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <array>

namespace tolvar::test {

template <typename W>
W* control(const QObject& root, const char* name)
{
    W* found = root.findChild<W*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no control named " << name;
    return found;
}

// The search window's controls; Label1 by each label's index.
struct MainControls {
    explicit MainControls(const QWidget& window);
    QGroupBox* Frame1;
    std::array<QLabel*, 6> Label1{};
    QLineEdit* find_tanto_cd;
    QComboBox* find_po_kbn;
    QLineEdit* find_po_no;
    QLineEdit* find_tok_cd;
    QDateEdit* dtpSDate;
    QLabel* Label5;
    QDateEdit* dtpEDate;
    QPushButton* Command1;
    QTableView* TDBGrid1;
    QLineEdit* txtPoDir;
    QPushButton* Command2;
};

// The output dialog's controls.
struct OutSettingControls {
    explicit OutSettingControls(const QWidget& dialog);
    QLabel* Label1;
    QGroupBox* Frame1;
    QCheckBox* cheFileOpen;
    QCheckBox* chePdf;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

}  // namespace tolvar::test
