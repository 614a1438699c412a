// A stand-in for LibreOffice's soffice.exe in the Windows tests, where no LibreOffice for Windows
// is installed. Asked to convert workbooks (--convert-to pdf --outdir DIR FILE...), it writes a
// small PDF for each into DIR and names each on a line, as LibreOffice does. With the environment
// variable TOLVAR_FAKE_SOFFICE=hang it starts a child of itself that appends a line to the file
// TOLVAR_FAKE_SOFFICE_TICKS every 100 ms, and then waits for ever: a LibreOffice that stops
// getting on, whose whole process tree must be ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

int tick()
{
    const wchar_t* path = _wgetenv(L"TOLVAR_FAKE_SOFFICE_TICKS");
    for (;;) {
        if (path) {
            if (FILE* f = _wfopen(path, L"a")) {
                std::fputs("tick\n", f);
                std::fclose(f);
            }
        }
        Sleep(100);
    }
}

void startChild()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --tick";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wcscmp(argv[1], L"--tick") == 0)
        return tick();
    const wchar_t* mode = _wgetenv(L"TOLVAR_FAKE_SOFFICE");
    if (mode && std::wcscmp(mode, L"hang") == 0) {
        startChild();
        Sleep(INFINITE);
    }
    std::wstring outdir;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--outdir" && i + 1 < argc) {
            outdir = argv[++i];
        } else if (a == L"--convert-to" && i + 1 < argc) {
            ++i;
        } else if (!a.empty() && a[0] != L'-') {
            std::wstring name = a.substr(a.find_last_of(L"\\/") + 1);
            name = name.substr(0, name.find_last_of(L'.')) + L".pdf";
            std::wprintf(L"convert %ls -> %ls\\%ls using filter : calc_pdf_Export\n", a.c_str(), outdir.c_str(),
                         name.c_str());
            std::fflush(stdout);
            CreateDirectoryW(outdir.c_str(), nullptr);
            if (FILE* f = _wfopen((outdir + L"\\" + name).c_str(), L"wb")) {
                std::fputs("%PDF-1.4\n% made by the test's stand-in for LibreOffice\n%%EOF\n", f);
                std::fclose(f);
            }
        }
    }
    return 0;
}
