// BrowseForFolder: lets the user pick an existing folder, owned by the given window, with the
// given title. The chosen path comes back with a trailing separator; a cancel gives the empty
// text. Tests answer the picker in advance instead of showing it.
#pragma once

#include "util/ScopedSeam.h"

#include <QString>
#include <functional>

class QWidget;

namespace tolvar {

QString BrowseForFolder(QWidget* owner, const QString& title);

// While it lives, the pickers are answered by `picker` (the empty text for a cancel).
using FolderPicker = std::function<QString(QWidget* owner, const QString& title)>;
class FolderPickerForTesting : public ScopedSeam<FolderPicker> {
public:
    explicit FolderPickerForTesting(FolderPicker picker);
};

}  // namespace tolvar
