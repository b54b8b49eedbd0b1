#ifndef MORVEX_GUI_CHECKS_H
#define MORVEX_GUI_CHECKS_H

// What the GUI tests share: the failures counted, a window's text, a file's
// bytes, and a drop as the shell makes it.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline int Failed;

// An expected text that ends in ':' need only begin the text got.
inline void Expect(const std::string& got, const std::string& expected, const std::string& what)
{
    bool prefix = !expected.empty() && expected.back() == ':';
    if (prefix ? got.compare(0, expected.size(), expected) != 0 : got != expected) {
        Failed++;
        printf("FAIL %s:\n  expected \"%s\"\n  got      \"%s\"\n", what.c_str(), expected.c_str(), got.c_str());
    }
}

// A window's text, from this process or another that may hang.
inline std::string Text(HWND window)
{
    char text[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, LPARAM(text), SMTO_ABORTIFHUNG, 5000, NULL);
    return text;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "(none)";
}

// The point, then the names, each ended by a zero, and one more zero at the end.
inline HGLOBAL ShellDrop(POINT point, const std::vector<std::string>& files)
{
    std::string names;
    for (const std::string& file : files)
        names += file + '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 1);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = point;
    memcpy(drop + 1, names.data(), names.size());
    GlobalUnlock(memory);
    return memory;
}

#endif
