#include "platform/ConsoleDevice.h"

namespace tolvar {

namespace {

// How many bytes at the end of `bytes` begin a UTF-8 character that is not whole yet.
qsizetype incompleteTail(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back for the lead
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

}  // namespace

ConsoleDevice::ConsoleDevice(Writer writer) : writer_(std::move(writer))
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 ConsoleDevice::writeData(const char* data, qint64 size)
{
    pending_.append(data, size);
    const qsizetype keep = incompleteTail(pending_);
    writer_(QByteArrayView(pending_).first(pending_.size() - keep));
    pending_.remove(0, pending_.size() - keep);
    return size;
}

}  // namespace tolvar
