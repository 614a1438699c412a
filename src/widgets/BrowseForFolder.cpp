#include "widgets/BrowseForFolder.h"

#include <QDir>
#include <QFileDialog>

namespace tolvar {

namespace {
FolderPicker folderPicker;
}  // namespace

QString BrowseForFolder(QWidget* owner, const QString& title)
{
    QString path = folderPicker ? folderPicker(owner, title)
                                : QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    if (path.isEmpty())
        return QString();
    path = QDir::toNativeSeparators(path);
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path;
}

FolderPickerForTesting::FolderPickerForTesting(FolderPicker picker) : ScopedSeam(folderPicker, std::move(picker)) {}

}  // namespace tolvar
