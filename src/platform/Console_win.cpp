#include "platform/Console.h"

#include "platform/ConsoleDevice.h"

#include <io.h>
#include <windows.h>

namespace tolvar {

namespace {

// The console behind `stream`, or nothing when it goes to a file or a pipe.
HANDLE consoleOf(std::FILE* stream)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

void writeText(std::FILE* stream, QStringView text)
{
    if (HANDLE console = consoleOf(stream)) {
        std::fflush(stream);
        DWORD written = 0;
        WriteConsoleW(console, text.utf16(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stream);
    std::fflush(stream);
}

}  // namespace

std::unique_ptr<QIODevice> openConsole(std::FILE* stream)
{
    return std::make_unique<ConsoleDevice>(
        [stream](QByteArrayView utf8) { writeText(stream, QString::fromUtf8(utf8)); });
}

bool isTerminal(std::FILE* stream)
{
    return consoleOf(stream) != nullptr;
}

void writeConsole(std::FILE* stream, const QString& text)
{
    writeText(stream, text);
}

}  // namespace tolvar
