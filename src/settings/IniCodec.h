// The text encoding of a settings file. The office's existing files were written by Windows in
// code page 932; files edited on Linux are usually UTF-8. A file is read as UTF-8 when it starts
// with a UTF-8 byte-order mark or is valid UTF-8 and not plain ASCII, otherwise as CP932, and
// every write keeps the file's own encoding (and mark). Plain ASCII and new files count as CP932.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tolvar {

enum class IniEncoding { Cp932, Utf8, Utf8Bom };

class IniCodec {
public:
    static IniEncoding detect(QByteArrayView bytes);
    static QString decode(QByteArrayView bytes, IniEncoding encoding);
    // The bytes of a text in the encoding (never a byte-order mark), or nothing when the text
    // has a character that the encoding cannot hold.
    static std::optional<QByteArray> encode(const QString& text, IniEncoding encoding);
    // How many bytes a character takes in the encoding.
    static int byteLength(char32_t ch, IniEncoding encoding);
    // The longest leading part of the text that fits in maxBytes, never splitting a character.
    static QString cutToBytes(const QString& text, qsizetype maxBytes, IniEncoding encoding);
};

}  // namespace tolvar
