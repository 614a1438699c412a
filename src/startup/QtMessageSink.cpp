#include "startup/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>

namespace tolvar {

void QtMessageSink::show(const Message& message)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (message.icon == MsgIcon::Critical)
        icon = QMessageBox::Critical;
    else if (message.icon == MsgIcon::Information)
        icon = QMessageBox::Information;
    QString text = message.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(icon, message.caption, text, QMessageBox::Ok, QApplication::activeWindow());
    // Texts from outside (a server's error, a file name, a setting) are shown as they are: a box
    // that guessed rich text would render a "<" as markup.
    box.setTextFormat(Qt::PlainText);
    // A message must be readable even while a task has the busy pointer up.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
}

}  // namespace tolvar
