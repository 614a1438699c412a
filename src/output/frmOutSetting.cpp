#include "output/frmOutSetting.h"

#include "db/dbOpen.h"
#include "pofile/bas_po_file_make.h"
#include "settings/LoadSettings.h"
#include "util/Messages.h"
#include "util/basKansu.h"
#include "widgets/FormWidgets.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

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
    cmdOK = place(new QPushButton(QStringLiteral("OK"), this), "cmdOK", twipsRect(3000, 3000, 1215, 375));
    cmdCancel = place(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel", twipsRect(4320, 3000, 1215, 375));
    // OK is the default: Enter presses it unless the focus is on another button, which Enter then
    // presses instead (ｷｬﾝｾﾙ with the focus on it writes nothing).
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel->setAutoDefault(true);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cheFileOpen);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    // Cancel, like Escape and the close button, only closes.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmOutSetting::F_Open(const QString& poNo)
{
    poNo_ = poNo;
    setWindowTitle(poNo);
    cheFileOpen->setChecked(false);
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
    BusyPointer pointer;
    setEnabled(false);
    if (dbOpen() != 0) {
        // dbOpen has said why; the user may try again or cancel.
        pointer.release();
        setEnabled(true);
        return;
    }
    // Any other failure here rises to the last resort; the older workbook is still intact.
    const PoFileResult result = po_file_make(poNo_);
    dbClose();
    if (result == PoFileResult::NotFound) {
        MsgBox(QStringLiteral("POが見つかりません。"), MsgIcon::Critical, QStringLiteral("エラー"));
    } else if (cheFileOpen->isChecked()) {
        QApplication::processEvents();
        ShellOpenFile(poFilePath(gPoSaveFolder, poNo_));
        QApplication::processEvents();
    } else {
        MsgBox(QStringLiteral("作成しました。"), MsgIcon::Information, QStringLiteral("終了"));
    }
    pointer.release();
    setEnabled(true);
    accept();
}

}  // namespace tolvar
