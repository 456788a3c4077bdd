// Prints where a Windows shortcut (.lnk) points and the folder it starts in, one
// per line, so that a check can start a program the way the Start menu does:
//   ivl-shortcut <file.lnk>
// The argument is taken as UTF-16 (wmain) and the output is UTF-8, so a shortcut
// in a Cyrillic profile works whatever the system's ANSI code page.
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>

static std::string toUtf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

int wmain(int argc, wchar_t *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ivl-shortcut <file.lnk>\n");
        return 2;
    }
    const wchar_t *file = argv[1];

    CoInitialize(nullptr);
    IShellLinkW *link = nullptr;
    IPersistFile *persist = nullptr;
    wchar_t target[MAX_PATH] = {};
    wchar_t workingDir[MAX_PATH] = {};
    const bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkW, reinterpret_cast<void **>(&link)))
        && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&persist)))
        && SUCCEEDED(persist->Load(file, STGM_READ))
        && SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))
        && SUCCEEDED(link->GetWorkingDirectory(workingDir, MAX_PATH));
    if (persist)
        persist->Release();
    if (link)
        link->Release();
    CoUninitialize();

    if (!ok) {
        std::fprintf(stderr, "ivl-shortcut: cannot read %s\n", toUtf8(file).c_str());
        return 1;
    }
    std::printf("%s\n%s\n", toUtf8(target).c_str(), toUtf8(workingDir).c_str());
    return 0;
}
