#include "platform/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tolvar {

namespace {
constexpr char kCp932[] = "CP932";
}  // namespace

QString decodeCp932(QByteArrayView bytes)
{
    QStringDecoder decoder(kCp932, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

std::optional<QByteArray> encodeCp932(const QString& text)
{
    QStringEncoder encoder(kCp932, QStringEncoder::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    // The encoder puts '?' for what CP932 cannot hold; only a round trip tells.
    if (encoder.hasError() || decodeCp932(bytes) != text)
        return std::nullopt;
    return bytes;
}

}  // namespace tolvar
