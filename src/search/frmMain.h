// frmMain: the search window. The user sets the search conditions, searches the PO headers
// (SearchPo), sees them in the grid TDBGrid1 and sees the save folder. Its widgets carry their
// names as object names; positions are the form's twips, 15 to a pixel.
#pragma once

#include "db/Recordset.h"

#include <QWidget>
#include <array>
#include <memory>

class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tolvar {

class PoResultModel;

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The search of Command1: the statement from the conditions, the rows into the grid.
    void SearchPo();
    PoResultModel& resultTable() { return *result_; }

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

private:
    void Form_Load();
    void buildGrid();

    PoResultModel* result_;
    std::unique_ptr<Recordset> recordset_;  // made on first use, open only inside a search
};

// The program's icon, drawn at 16 × 16 and 32 × 32.
QIcon tolvarIcon();

}  // namespace tolvar
