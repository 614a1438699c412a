#include "platform/Console.h"

#include "platform/ConsoleDevice.h"

#include <unistd.h>

namespace tolvar {

std::unique_ptr<QIODevice> openConsole(std::FILE* stream)
{
    return std::make_unique<ConsoleDevice>([stream](QByteArrayView utf8) {
        std::fwrite(utf8.data(), 1, static_cast<size_t>(utf8.size()), stream);
        std::fflush(stream);
    });
}

bool isTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

void writeConsole(std::FILE* stream, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stream);
    std::fflush(stream);
}

}  // namespace tolvar
