// Whether bytes are UTF-8 throughout, as Qt decodes them without a replacement character: each
// character in its shortest form, no surrogate halves, nothing past U+10FFFF. Quicker than Qt's
// own check on text that is mostly not ASCII, which is what a search's names are.
#pragma once

#include <QByteArrayView>

namespace tolvar {

bool isUtf8(QByteArrayView bytes);

}  // namespace tolvar
