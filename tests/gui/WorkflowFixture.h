// The search window with a test database, a save folder and the template in a program folder of
// its own, the clock at 2024-03-01 and the shell recorded: the start of every workflow test.
#pragma once

#include "db/dbOpen.h"
#include "output/frmOutSetting.h"
#include "search/PoResultModel.h"
#include "search/frmMain.h"
#include "settings/LoadSettings.h"
#include "support/FormControls.h"
#include "support/TestSupport.h"
#include "util/Clock.h"
#include "util/Messages.h"
#include "util/basKansu.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

namespace tolvar::test {

inline OutSettingControls dialogControls(const frmOutSetting& d)
{
    return OutSettingControls(d);
}

const QByteArray kSettings =
    "; office settings\r\n[PO_DB]\r\nPROVIDER=SQLite\r\nSERVER_NM=po.db\r\n\r\n[全般]\r\nPO_SAVE_FOLDER=@\r\n";

class WorkflowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        makeTestSqlite(folder.path(), QStringLiteral("po.db"));
        QFile::copy(QStringLiteral(TOLVAR_SOURCE_DIR "/assets/MST_PO.xls"), folder.file(QStringLiteral("MST_PO.xls")));
        QDir(folder.path()).mkdir(QStringLiteral("out"));
        saveFolder = folder.file(QStringLiteral("out")) + QLatin1Char('/');
        settings = kSettings;
        settings.replace("@", saveFolder.toUtf8());
        folder.writeSettings(settings);
        ASSERT_EQ(LoadSettings(), 0);
        today.emplace(QDate(2024, 3, 1));
        shellOpener.emplace([this](const QString& path) {
            opened << path;
            return qint32(kShellStarted);
        });
        window = std::make_unique<frmMain>();
        ui.emplace(*window);
        window->show();
        ui->dtpSDate->setDate(QDate(2024, 1, 1));
        ui->dtpEDate->setDate(QDate(2024, 12, 31));
    }
    void TearDown() override { window.reset(); }

    void searchAndSelect(const QString& poNo)
    {
        QTest::mouseClick(ui->Command1, Qt::LeftButton);
        for (int r = 0; r < window->resultTable().rowCount(); ++r)
            if (window->resultTable().text(r, 1) == poNo)
                ui->TDBGrid1->setCurrentIndex(window->resultTable().index(r, 1));
        ASSERT_EQ(window->resultTable().text(ui->TDBGrid1->currentIndex().row(), 1), poNo);
    }
    // Activates the current row with Enter; `inDialog` answers the modal dialog, if one opens.
    bool activate(std::function<void(frmOutSetting&)> inDialog)
    {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (auto* d = qobject_cast<frmOutSetting*>(QApplication::activeModalWidget())) {
                shown = true;
                inDialog(*d);
                if (d->isVisible())
                    d->reject();
            }
        });
        QTest::keyClick(ui->TDBGrid1, Qt::Key_Return);
        QApplication::processEvents();
        return shown;
    }
    QString output(const QString& poNo) const { return saveFolder + poNo + QStringLiteral(".xls"); }
    QString readCell(const QString& path, const char* sheet, const char* address)
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import xlrd,sys; b=xlrd.open_workbook(sys.argv[1]); s=b.sheet_by_name(sys.argv[2]); "
                                "import re; m=re.match(r'([A-Z]+)(\\d+)', sys.argv[3]); c=0\n"
                                "for ch in m.group(1): c=c*26+ord(ch)-64\n"
                                "print(s.cell_value(int(m.group(2))-1, c-1))"),
                 path, QString::fromUtf8(sheet), QString::fromLatin1(address)});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    ProgramFolder folder;
    QString saveFolder;
    QByteArray settings;
    QStringList opened;
    RecordingMessageSink recorder;
    ScopedMessageSink scoped{recorder};
    std::optional<TodayForTesting> today;
    std::optional<ShellOpenerForTesting> shellOpener;
    std::unique_ptr<frmMain> window;
    std::optional<MainControls> ui;
};

}  // namespace tolvar::test
