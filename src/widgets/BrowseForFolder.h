// BrowseForFolder: lets the user pick an existing folder, owned by the given window, with the
// given title. The chosen path comes back with a trailing separator; a cancel gives the empty
// text. Tests answer the picker in advance instead of showing it.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tolvar {

QString BrowseForFolder(QWidget* owner, const QString& title);

// The next pickers are answered by the function (the empty text for a cancel) until it is reset.
void setFolderPickerForTesting(std::function<QString(QWidget* owner, const QString& title)> picker);

}  // namespace tolvar
