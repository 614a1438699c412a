#include "settings/IniCodec.h"

#include "platform/Cp932.h"

#include <QStringDecoder>

namespace tolvar {

namespace {

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

}  // namespace

IniEncoding IniCodec::detect(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return IniEncoding::Utf8Bom;
    if (!isAscii(bytes) && isValidUtf8(bytes))
        return IniEncoding::Utf8;
    return IniEncoding::Cp932;
}

QString IniCodec::decode(QByteArrayView bytes, IniEncoding encoding)
{
    if (encoding == IniEncoding::Cp932)
        return decodeCp932(bytes);
    return QString::fromUtf8(bytes);
}

std::optional<QByteArray> IniCodec::encode(const QString& text, IniEncoding encoding)
{
    if (encoding != IniEncoding::Cp932)
        return text.toUtf8();
    return encodeCp932(text);
}

int IniCodec::byteLength(char32_t ch, IniEncoding encoding)
{
    if (encoding != IniEncoding::Cp932) {
        if (ch < 0x80)
            return 1;
        if (ch < 0x800)
            return 2;
        if (ch < 0x10000)
            return 3;
        return 4;
    }
    // CP932: ASCII and the half-width katakana are single bytes, everything else a pair.
    if (ch < 0x80 || (ch >= 0xFF61 && ch <= 0xFF9F))
        return 1;
    return 2;
}

QString IniCodec::cutToBytes(const QString& text, qsizetype maxBytes, IniEncoding encoding)
{
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        char32_t ch = text.at(i).unicode();
        qsizetype units = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ch = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        }
        const int len = byteLength(ch, encoding);
        if (used + len > maxBytes)
            break;
        used += len;
        i += units;
    }
    return text.left(i);
}

}  // namespace tolvar
