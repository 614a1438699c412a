// Makes the README's picture of the search window: the program folder's settings and demo
// database, a search for staff code 12, the window grabbed offscreen.
//   screenshot PROGRAM_FOLDER OUT.png [DIALOG.png]
#include "output/frmOutSetting.h"
#include "search/PoResultModel.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "util/Globals.h"
#include "util/ProgramPaths.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableView>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QApplication::setFont(QFont(QStringLiteral("IPAGothic"), 9));
    tolvar::setProgramPathsForTesting(QString::fromLocal8Bit(argv[1]), QStringLiteral("tolvar"));
    if (tolvar::LoadSettings() != 0)
        return 1;
    tolvar::gTantoCd = QStringLiteral("12");
    tolvar::frmMain window;
    window.show();
    window.SearchPo();
    window.TDBGrid1->selectRow(1);
    app.processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[2])))
        return 1;
    if (argc > 3) {
        tolvar::frmOutSetting& dialog = window.outSetting();
        dialog.setWindowTitle(window.resultTable().text(1, 1));
        dialog.show();
        app.processEvents();
        if (!dialog.grab().save(QString::fromLocal8Bit(argv[3])))
            return 1;
    }
    return 0;
}
