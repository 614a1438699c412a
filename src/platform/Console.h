// The console of a command-line program: its standard output and error as devices a QTextStream
// writes to (in UTF-8, as Qt does), and whether one is a terminal. On Windows a console is given the
// text itself (WriteConsoleW), so Japanese reads right in cmd.exe and PowerShell whatever their code
// page; a file or a pipe gets UTF-8 on both systems.
#pragma once

#include <QIODevice>
#include <QString>
#include <cstdio>
#include <memory>

namespace tolvar {

// A write-only device over `stream` (stdout or stderr).
std::unique_ptr<QIODevice> openConsole(std::FILE* stream);
// Whether `stream` is an interactive terminal or console (for progress lines).
bool isTerminal(std::FILE* stream);
// Writes `text` to `stream` at once, as openConsole's device would.
void writeConsole(std::FILE* stream, const QString& text);

}  // namespace tolvar
