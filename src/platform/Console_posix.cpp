#include "platform/Console.h"

#include "platform/ConsoleDevice.h"

#include <unistd.h>

namespace tolvar {

namespace {

void writeUtf8(std::FILE* stream, QByteArrayView utf8)
{
    std::fwrite(utf8.data(), 1, static_cast<size_t>(utf8.size()), stream);
    std::fflush(stream);
}

}  // namespace

std::unique_ptr<QIODevice> openConsole(std::FILE* stream)
{
    return std::make_unique<ConsoleDevice>([stream](QByteArrayView utf8) { writeUtf8(stream, utf8); });
}

bool isTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

void writeConsole(std::FILE* stream, const QString& text)
{
    writeUtf8(stream, text.toUtf8());
}

}  // namespace tolvar
