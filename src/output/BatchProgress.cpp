#include "output/BatchProgress.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>

namespace tolvar {

BatchProgress::BatchProgress(QWidget* parent, const QString& caption, int total, bool pdf)
    : dialog_(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), total_(total)
{
    dialog_.setObjectName(QStringLiteral("BatchProgress"));
    dialog_.setWindowTitle(caption);
    dialog_.setWindowModality(Qt::ApplicationModal);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setMinimumDuration(0);
    dialog_.setMinimumWidth(360);
    // Workbooks first, then their PDFs: one bar for both.
    dialog_.setRange(0, pdf ? 2 * total : total);
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), &dialog_);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    dialog_.setCancelButton(cancel);
    // The dialog's own Escape is a shortcut, which was seen not to fire on X11 while the batch runs
    // inside the output dialog's handler: Escape is taken here instead, on its way to the focus.
    dialog_.installEventFilter(this);
    cancel->installEventFilter(this);
    dialog_.setLabelText(QStringLiteral("0 / %1").arg(total));
    dialog_.show();
    QApplication::processEvents();
}

bool BatchProgress::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed for the key press that follows, so that no shortcut takes it.
        event->accept();
        return true;
    }
    dialog_.cancel();
    return true;
}

bool BatchProgress::step(const PoBatch::Step& step)
{
    if (step.pdfPhase) {
        dialog_.setLabelText(
            QStringLiteral("PDF %1 / %2\n%3").arg(std::min(step.done + 1, step.total)).arg(step.total).arg(step.poNo));
        dialog_.setValue(total_ + step.done);
    } else {
        dialog_.setLabelText(
            QStringLiteral("%1 / %2\n%3").arg(std::min(step.done + 1, step.total)).arg(step.total).arg(step.poNo));
        dialog_.setValue(step.done);
    }
    QApplication::processEvents();
    return !dialog_.wasCanceled();
}

}  // namespace tolvar
