// Prints where a Windows shortcut (.lnk) points and the folder it starts in, one
// per line, so that a check can start a program the way the Start menu does:
//   ivl-shortcut <file.lnk>
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

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ivl-shortcut <file.lnk>\n");
        return 2;
    }
    wchar_t file[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, file, MAX_PATH);

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
        std::fprintf(stderr, "ivl-shortcut: cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("%s\n%s\n", toUtf8(target).c_str(), toUtf8(workingDir).c_str());
    return 0;
}
