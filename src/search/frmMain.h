// frmMain: the search window. The user sets the search conditions, searches the PO headers
// (SearchPo), sees them in the grid TDBGrid1 and sees the save folder. Its widgets carry their
// names as object names; positions are the form's twips, 15 to a pixel.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

class QAction;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace tolvar {

class PoResultModel;
class Recordset;
class frmOutSetting;

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The search of Command1: the statement from the conditions, the rows into the grid.
    void SearchPo();
    PoResultModel& resultTable() { return *result_; }
    // Command2: the save folder, chosen and written to the settings file at once.
    void Command2_Click();
    // Activation of the grid's current row: the output dialog for its PO.
    void TDBGrid1_Activate();
    // The POs of the rows that have a selected cell, in the grid's order.
    QStringList selectedPoNumbers() const;
    // The grid's context menu entry: the output dialog in its batch form for the selected POs.
    void TDBGrid1_MakeSelected();
    frmOutSetting& outSetting();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void buildConditions();
    void buildGrid();
    bool saveFolderChecked();
    // The grid's context menu, at a point of the screen (right button, the Menu key, Shift+F10).
    void showGridMenu(const QPoint& globalPos);

    // The form's controls; tests find them by these object names.
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
    QMenu* gridMenu_;
    QAction* makeSelected_;

    PoResultModel* result_;
    std::unique_ptr<Recordset> recordset_;  // made on first use, open only inside a search
    frmOutSetting* outSetting_ = nullptr;   // made on first use, a child of the window
};

// The program's icon, drawn at 16 × 16 and 32 × 32.
QIcon tolvarIcon();

}  // namespace tolvar
