// Text helpers of the engine: the one case folding used wherever names compare without regard to
// case (sheet names, defined names, compound-file entries), UTF-8 for messages, and the character
// part of BIFF8's XLUnicodeString (one flags byte, then 8-bit or UTF-16 characters).
#pragma once

#include "xls/Bytes.h"

#include <string>

namespace xls {

// The upper-case form of a character as the spreadsheet application compares names: ASCII,
// Latin-1 and full-width Latin letters; every other character is itself.
char16_t foldCase(char16_t c);
std::u16string foldCase(const std::u16string& s);
bool sameText(const std::u16string& a, const std::u16string& b);

// UTF-8 of UTF-16 text, for messages, and back (a malformed byte becomes U+FFFD).
std::string utf8(const std::u16string& s);
std::u16string fromUtf8(const std::string& s);

// cch characters at `at`, 8-bit or UTF-16 as `high` says; throws when they run past the data.
std::u16string readChars(ByteView data, std::size_t at, std::size_t cch, bool high);
// The flags byte (8-bit when every character fits) and the characters.
void putChars(Bytes& out, const std::u16string& s);

}  // namespace xls
