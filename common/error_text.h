// The one way a Windows or WinHTTP error number becomes words for a log
// record or a message: the system's own text, WinHTTP's codes from its own
// module. Where the system has no text (Wine's WinHTTP carries none) the
// common WinHTTP errors have their documented meaning here.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

// What ErrorText says of a code the system has no text for.
constexpr char kNoErrorText[] = "Unknown error";

// True for a code with the severity bit set: an HRESULT (or an NTSTATUS)
// of a failure, never a Windows error number, which stays below 0x10000.
inline bool IsFailureHresult(DWORD code) { return (code & 0x80000000u) != 0; }

inline std::string ErrorText(DWORD code)
{
    static const struct {
        DWORD code;
        const char *text;
    } kWinHttp[] = {
        {12002, "The operation timed out"},
        {12005, "The URL is invalid"},
        {12007, "The server name or address could not be resolved"},
        {12017, "The operation was cancelled"},
        {12029, "A connection with the server could not be established"},
        {12030, "The connection with the server was terminated abnormally"},
        {12037, "The server's certificate has expired or is not yet valid"},
        {12038, "The server's certificate does not name this server"},
        {12044, "The server asks for a client certificate"},
        {12045, "The server's certificate was issued by an authority that is not trusted"},
        {12152, "The server returned an invalid or unrecognized response"},
        {12157, "An error occurred in the secure channel support"},
        {12169, "The server's certificate is invalid"},
        {12175, "A security error occurred: the server's certificate could not be verified"},
    };
    // WinHTTP numbers its errors from WINHTTP_ERROR_BASE; later systems add
    // codes beyond the headers' WINHTTP_ERROR_LAST, so its whole thousand
    // is asked of winhttp.dll.
    // An HRESULT that wraps a Windows error has that error's text.
    if (IsFailureHresult(code) && HRESULT_FACILITY(code) == FACILITY_WIN32)
        code = HRESULT_CODE(code);
    bool winHttp = code >= WINHTTP_ERROR_BASE && code < WINHTTP_ERROR_BASE + 1000;
    HMODULE module = winHttp ? GetModuleHandleA("winhttp.dll") : NULL;
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      (module ? FORMAT_MESSAGE_FROM_HMODULE : 0),
                                  module, code, 0, text, sizeof text, NULL);
    // The system's texts end in a full stop and a line break.
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ' ||
                          text[length - 1] == '.'))
        text[--length] = '\0';
    if (length > 0)
        return text;
    for (const auto &known : kWinHttp) {
        if (known.code == code)
            return known.text;
    }
    return kNoErrorText;
}

// "error 12029 (A connection with the server could not be established)";
// an HRESULT as such, in hexadecimal as the system's documentation lists
// it, with the system's text where it has one: "HRESULT 0x80070005
// (Access is denied)", "HRESULT 0x80040152".
inline std::string DescribeError(DWORD code)
{
    if (!IsFailureHresult(code))
        return "error " + std::to_string(code) + " (" + ErrorText(code) + ")";
    std::string hex = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        hex += "0123456789ABCDEF"[(code >> shift) & 15];
    std::string text = ErrorText(code);
    if (text == kNoErrorText)
        return "HRESULT " + hex;
    return "HRESULT " + hex + " (" + text + ")";
}
