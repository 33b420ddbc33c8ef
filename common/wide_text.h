// Text between the programs' narrow strings (the system's ANSI code page)
// and the system's UTF-16, for the few calls that must see a name whole
// (a path given on the command line, a program's own path).
#pragma once

#include <windows.h>

#include <string>

inline std::wstring Wide(const std::string &text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), NULL, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), &wide[0], length);
    return wide;
}

// What the code page cannot hold becomes the system's replacement
// character: for texts shown or logged, never for a name to open.
inline std::string Narrow(const std::wstring &wide)
{
    int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], length, NULL, NULL);
    return text;
}
