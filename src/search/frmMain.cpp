#include "search/frmMain.h"

#include "db/OdbcDriver.h"
#include "db/Recordset.h"
#include "db/dbOpen.h"
#include "output/frmOutSetting.h"
#include "search/OdbcRows.h"
#include "search/PoResultModel.h"
#include "search/PostgresRows.h"
#include "search/SearchStatement.h"
#include "search/SqliteRows.h"
#include "settings/LoadSettings.h"
#include "settings/SettingsKeys.h"
#include "settings/clsIniFile.h"
#include "util/Clock.h"
#include "util/Globals.h"
#include "util/Messages.h"
#include "widgets/BrowseForFolder.h"
#include "widgets/DatePicker.h"
#include "widgets/FormWidgets.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include <algorithm>

namespace tolvar {

namespace {

QLabel* label(QWidget* parent, const QString& text, int index, QRect geometry)
{
    auto* l = place(new QLabel(text, parent), "Label1", geometry);
    l->setProperty("index", index);
    return l;
}

// A code field: ASCII codes, so the input method stays off.
QLineEdit* codeField(QWidget* parent, const char* name, QRect geometry)
{
    auto* edit = place(new QLineEdit(parent), name, geometry);
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setInputMethodHints(Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
    return edit;
}

QDateEdit* datePicker(QWidget* parent, const char* name, QRect geometry)
{
    return place(new DatePicker(parent), name, geometry);
}

}  // namespace

QIcon tolvarIcon()
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        // A sheet of paper with a folded corner, ruled lines and a green total bar.
        QPolygonF page({QPointF(2 * u, 1 * u), QPointF(10 * u, 1 * u), QPointF(14 * u, 5 * u), QPointF(14 * u, 15 * u),
                        QPointF(2 * u, 15 * u)});
        p.setPen(QPen(QColor(0x1f, 0x4e, 0x79), u));
        p.setBrush(Qt::white);
        p.drawPolygon(page);
        p.drawLine(QPointF(10 * u, 1 * u), QPointF(10 * u, 5 * u));
        p.drawLine(QPointF(10 * u, 5 * u), QPointF(14 * u, 5 * u));
        p.setPen(QPen(QColor(0x5b, 0x9b, 0xd5), u));
        for (int row = 0; row < 3; ++row)
            p.drawLine(QPointF(4 * u, (7 + 2 * row) * u), QPointF(12 * u, (7 + 2 * row) * u));
        p.fillRect(QRectF(7 * u, 12 * u, 5 * u, 1.6 * u), QColor(0x38, 0x8e, 0x3c));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

frmMain::frmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      result_(new PoResultModel(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(applicationTitle());
    setWindowIcon(tolvarIcon());
    setFixedSize(twips(12105), twips(8010));

    buildConditions();
    TDBGrid1 = place(new QTableView(this), "TDBGrid1", twipsRect(120, 1320, 11895, 6255));
    buildGrid();

    Label1[5] = label(this, QStringLiteral("PO保存先"), 5, twipsRect(120, 7725, 855, 210));
    txtPoDir = place(new QLineEdit(this), "txtPoDir", twipsRect(960, 7680, 4815, 270));
    txtPoDir->setReadOnly(true);
    QPalette face = txtPoDir->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    txtPoDir->setPalette(face);
    Command2 = place(new QPushButton(QStringLiteral("..."), this), "Command2", twipsRect(5790, 7680, 285, 285));
    Command2->setAutoDefault(true);

    // The tab sequence of the form's tab indexes (labels and the frame take no focus).
    const QList<QWidget*> order = {find_tanto_cd, find_po_kbn, dtpEDate,    dtpSDate, find_po_no,
                                   Command1,      TDBGrid1,    find_tok_cd, txtPoDir, Command2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(Command1, &QPushButton::clicked, this, [this] { SearchPo(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    // A double-click on a row, or Enter on the current row, activates it.
    connect(TDBGrid1, &QTableView::doubleClicked, this, [this] { TDBGrid1_Activate(); });
    TDBGrid1->installEventFilter(this);
    // The context menu: one entry for the selected rows.
    gridMenu_ = new QMenu(this);
    gridMenu_->setObjectName(QStringLiteral("gridMenu"));
    makeSelected_ = gridMenu_->addAction(QString());
    makeSelected_->setObjectName(QStringLiteral("makeSelected"));
    connect(makeSelected_, &QAction::triggered, this, [this] { TDBGrid1_MakeSelected(); });
    TDBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TDBGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showGridMenu(TDBGrid1->viewport()->mapToGlobal(pos)); });

    Form_Load();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

frmMain::~frmMain() = default;

// The frame of search conditions and its search button.
void frmMain::buildConditions()
{
    Frame1 = place(new QGroupBox(QStringLiteral("検索設定"), this), "Frame1", twipsRect(120, 120, 7935, 1095));
    Label1[0] = label(Frame1, QStringLiteral("担当CD"), 0, twipsRect(375, 300, 735, 210));
    find_tanto_cd = codeField(Frame1, "find_tanto_cd", twipsRect(1080, 240, 615, 270));
    find_tanto_cd->setMaxLength(3);
    Label1[1] = label(Frame1, QStringLiteral("区分"), 1, twipsRect(1890, 270, 495, 210));
    find_po_kbn = place(new QComboBox(Frame1), "find_po_kbn", twipsRect(2325, 225, 855, 300));
    find_po_kbn->setEditable(false);
    Label1[3] = label(Frame1, QStringLiteral("番号"), 3, twipsRect(3300, 270, 495, 210));
    find_po_no = codeField(Frame1, "find_po_no", twipsRect(3765, 240, 1215, 270));
    Label1[4] = label(Frame1, QStringLiteral("得意先"), 4, twipsRect(5235, 285, 615, 210));
    find_tok_cd = codeField(Frame1, "find_tok_cd", twipsRect(5880, 240, 735, 270));
    Label1[2] = label(Frame1, QStringLiteral("日付"), 2, twipsRect(240, 750, 495, 210));
    dtpSDate = datePicker(Frame1, "dtpSDate", twipsRect(750, 690, 1335, 285));
    Label5 = place(new QLabel(QStringLiteral("～"), Frame1), "Label5", twipsRect(2190, 690, 255, 255));
    dtpEDate = datePicker(Frame1, "dtpEDate", twipsRect(2550, 690, 1335, 285));
    Command1 = place(new QPushButton(QStringLiteral("検索"), Frame1), "Command1", twipsRect(6600, 600, 1215, 375));
    // On this form Enter presses the button that has the focus, as Space does.
    Command1->setAutoDefault(true);
}

void frmMain::buildGrid()
{
    TDBGrid1->setModel(result_);
    TDBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TDBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TDBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    TDBGrid1->setAlternatingRowColors(true);
    TDBGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TDBGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TDBGrid1->setWordWrap(false);
    // Tab leaves the grid for the next control, as the form's TabAction 0 has it; the arrow keys
    // move between the cells.
    TDBGrid1->setTabKeyNavigation(false);
    QHeaderView* columns = TDBGrid1->horizontalHeader();
    columns->setSectionsMovable(false);
    columns->setHighlightSections(false);
    for (int c = 0; c < PoResultModel::kColumns; ++c)
        TDBGrid1->setColumnWidth(c, twips(PoResultModel::initialWidthTwips(c)));
    // Record selectors: a click on one selects the whole row; rows keep their height.
    QHeaderView* selectors = TDBGrid1->verticalHeader();
    selectors->setVisible(true);
    selectors->setSectionResizeMode(QHeaderView::Fixed);
    selectors->setDefaultSectionSize(twips(285));
    selectors->setFixedWidth(twips(285));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == TDBGrid1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            TDBGrid1_Activate();
            return true;
        }
        // The keyboard's ways to the context menu, shown at the current cell.
        const bool shiftF10 = key == Qt::Key_F10 && static_cast<QKeyEvent*>(event)->modifiers() == Qt::ShiftModifier;
        if (key == Qt::Key_Menu || shiftF10) {
            const QRect cell = TDBGrid1->visualRect(TDBGrid1->currentIndex());
            const QPoint at = cell.isValid() ? cell.center() : QPoint(0, 0);
            showGridMenu(TDBGrid1->viewport()->mapToGlobal(at));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

frmOutSetting& frmMain::outSetting()
{
    if (!outSetting_)
        outSetting_ = new frmOutSetting(this);
    return *outSetting_;
}

void frmMain::Command2_Click()
{
    const QString folder = BrowseForFolder(this, QStringLiteral("保存先の指定"));
    if (folder.isEmpty())
        return;
    txtPoDir->setText(folder);
    gPoSaveFolder = folder;
    // Written at once, to the settings file or, where that is the office's, the user's own; if
    // the file cannot be written the folder still holds for this run.
    const QString file = SaveFolderSettingsPath(SettingsFilePath());
    QDir().mkpath(QFileInfo(file).absolutePath());
    clsIniFile ini;
    ini.setFileName(file);
    ini.setSection(QString::fromUtf8(settings::kSaveFolder.section));
    ini.SetString(QString::fromUtf8(settings::kSaveFolder.key), folder);
}

// The save folder must be an existing folder: not empty, not a file.
bool frmMain::saveFolderChecked()
{
    if (QFileInfo(txtPoDir->text()).isDir())
        return true;
    MsgBox(QStringLiteral("PO保存先を確認してください。"), MsgIcon::Critical, QStringLiteral("エラー"));
    return false;
}

void frmMain::TDBGrid1_Activate()
{
    const int row = TDBGrid1->currentIndex().row();
    const QString kind = result_->text(row, 0);
    const QString poNo = result_->text(row, 1);
    if (kind.isEmpty() && poNo.isEmpty())
        return;
    if (!saveFolderChecked())
        return;
    outSetting().F_Open(poNo);
    // The dialog and its notice are gone: the keyboard comes back to the grid, whichever window
    // the window manager would have given it to.
    activateWindow();
    TDBGrid1->setFocus();
}

QStringList frmMain::selectedPoNumbers() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : TDBGrid1->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList numbers;
    for (int row : rows)
        if (const QString poNo = result_->text(row, 1); !poNo.isEmpty())
            numbers << poNo;
    return numbers;
}

void frmMain::showGridMenu(const QPoint& globalPos)
{
    const auto count = selectedPoNumbers().size();
    makeSelected_->setText(QStringLiteral("選択したPOを作成(%1件)").arg(count));
    makeSelected_->setEnabled(count > 0);
    gridMenu_->exec(globalPos);
}

void frmMain::TDBGrid1_MakeSelected()
{
    const QStringList numbers = selectedPoNumbers();
    if (numbers.isEmpty() || !saveFolderChecked())
        return;
    outSetting().F_OpenBatch(numbers);
    activateWindow();
    TDBGrid1->setFocus();
}

void frmMain::Form_Load()
{
    const QDate now = today();
    dtpSDate->setDate(now.addMonths(-3));
    dtpEDate->setDate(now.addMonths(1));
    find_po_kbn->addItems({QStringLiteral("全て"), QStringLiteral("PO"), QStringLiteral("GK")});
    find_po_kbn->setCurrentIndex(-1);
    find_tanto_cd->setText(gTantoCd);
    txtPoDir->setText(gPoSaveFolder);
}

void frmMain::SearchPo()
{
    BusyPointer pointer;
    SearchConditions conditions;
    conditions.poNo = find_po_no->text();
    conditions.tantoCd = find_tanto_cd->text();
    conditions.tokCd = find_tok_cd->text();
    conditions.sDate = dtpSDate->date();
    conditions.eDate = dtpEDate->date();
    conditions.today = today();
    // dbOpen has shown why; the grid keeps what it showed and the window stays usable.
    if (dbOpen() != 0)
        return;

    conditions.kbnText = find_po_kbn->currentText();
    const SearchStatement statement = buildSearchStatement(conditions);
    // A statement the database rejects or a lost connection rises to the last resort. SQLite's,
    // PostgreSQL's and ODBC's results are read straight from the database's own library, any
    // other through the driver.
    std::optional<PoResultRows> rows = readSqliteRows(gCnPo->database(), statement.text, statement.values);
    if (!rows)
        rows = readPostgresRows(gCnPo->database(), statement.text, statement.values);
    // Through ODBC the dates go as dates: SQL Server converts a date text for every row it reads.
    const bool odbc = odbcConnectionHandle(gCnPo->database()) != nullptr;
    if (!rows)
        rows = readOdbcRows(gCnPo->database(), statement.text, statement.typedValues);
    if (!rows) {
        if (!recordset_)
            recordset_ = std::make_unique<Recordset>();
        recordset_->Open(statement.text, statement.valuesFor(odbc), *gCnPo, adOpenForwardOnly);
        rows.emplace();
        for (; !recordset_->Eof(); recordset_->MoveNext())
            for (int c = 0; c < PoResultModel::kColumns; ++c)
                rows->append(recordset_->Fields(c));
        recordset_->Close();
    }
    result_->replaceRows(std::move(*rows));
    dbClose();
}

}  // namespace tolvar
