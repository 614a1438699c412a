#include "platform/Cp932.h"

#include <windows.h>

namespace tolvar {

namespace {
constexpr UINT kCp932 = 932;
}  // namespace

QString decodeCp932(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(kCp932, 0, bytes.data(), size, nullptr, 0);
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(kCp932, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

std::optional<QByteArray> encodeCp932(const QString& text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = static_cast<int>(text.size());
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0, nullptr, &lossy);
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide, size, bytes.data(), length, nullptr, &lossy);
    // A character without a CP932 form came out as the default character; only a round trip tells
    // the rest (an unpaired surrogate, say).
    if (lossy || length == 0 || decodeCp932(bytes) != text)
        return std::nullopt;
    return bytes;
}

}  // namespace tolvar
