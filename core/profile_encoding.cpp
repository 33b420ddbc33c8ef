// A configuration file's bytes and the text the profile code edits. A file
// saved as UTF-16 with its byte-order mark (PowerShell's Out-File,
// Notepad's "Unicode") is read and written as UTF-16, as the system's
// profile functions do; in memory its text is UTF-8, so that no character
// of a line nobody edits is lost, and the callers' ANSI names and values
// are converted on the way in and out.
#include "internal.h"

namespace {

const char kUtf16Mark[] = "\xFF\xFE";

std::wstring Widen(UINT codePage, const char *text, size_t size)
{
    std::wstring wide;
    if (size == 0)
        return wide;
    int length = MultiByteToWideChar(codePage, 0, text, (int)size, NULL, 0);
    if (length > 0) {
        wide.resize((size_t)length);
        MultiByteToWideChar(codePage, 0, text, (int)size, wide.data(), length);
    }
    return wide;
}

std::string Narrow(UINT codePage, const std::wstring &wide)
{
    std::string text;
    if (wide.empty())
        return text;
    int size = WideCharToMultiByte(codePage, 0, wide.data(), (int)wide.size(), NULL, 0, NULL, NULL);
    if (size > 0) {
        text.resize((size_t)size);
        WideCharToMultiByte(codePage, 0, wide.data(), (int)wide.size(), text.data(), size, NULL, NULL);
    }
    return text;
}

void ToUtf8(std::string &text) { text = Narrow(CP_UTF8, Widen(CP_ACP, text.data(), text.size())); }

} // namespace

ConfigText DecodeConfigFile(const std::string &bytes)
{
    ConfigText config;
    config.utf16 = bytes.compare(0, 2, kUtf16Mark, 2) == 0;
    if (!config.utf16) {
        config.text = bytes;
        return config;
    }
    // A last odd byte is no character: dropped, as the system's reader does.
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = (wchar_t)((unsigned char)bytes[2 + 2 * i] | (unsigned char)bytes[3 + 2 * i] << 8);
    config.text = Narrow(CP_UTF8, wide);
    return config;
}

std::string EncodeConfigFile(const ConfigText &config)
{
    if (!config.utf16)
        return config.text;
    std::wstring wide = Widen(CP_UTF8, config.text.data(), config.text.size());
    std::string bytes(kUtf16Mark, 2);
    bytes.reserve(2 + 2 * wide.size());
    for (wchar_t c : wide) {
        bytes += (char)(c & 0xFF);
        bytes += (char)((c >> 8) & 0xFF);
    }
    return bytes;
}

std::vector<ProfileEdit> EditsInEncoding(const ConfigText &config, const ProfileEdit *edits, size_t count)
{
    std::vector<ProfileEdit> converted(edits, edits + count);
    if (config.utf16) {
        for (ProfileEdit &edit : converted) {
            ToUtf8(edit.section);
            ToUtf8(edit.key);
            ToUtf8(edit.value);
            ToUtf8(edit.replaced);
        }
    }
    return converted;
}

std::string NameInEncoding(const ConfigText &config, const char *name)
{
    std::string text = name;
    if (config.utf16)
        ToUtf8(text);
    return text;
}

std::string ValueFromEncoding(const ConfigText &config, const std::string &value)
{
    return config.utf16 ? Narrow(CP_ACP, Widen(CP_UTF8, value.data(), value.size())) : value;
}
