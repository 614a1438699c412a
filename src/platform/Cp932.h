// The Windows Japanese code page (CP932, Shift_JIS with Microsoft's additions), in which the
// office's settings files are written. Linux converts with Qt's ICU-backed codecs, Windows with its
// own code-page functions; both use the same Microsoft table.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tolvar {

// Bytes that are no CP932 character become U+FFFD.
QString decodeCp932(QByteArrayView bytes);
// Nothing when a character of `text` has no CP932 form.
std::optional<QByteArray> encodeCp932(const QString& text);

}  // namespace tolvar
