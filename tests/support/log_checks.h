// Checks on the text of the log shared by the log tests.
#pragma once

#include <string>
#include <vector>

// Whether text has the shape of a timestamp, "MM-dd-yyyy HH:mm:ss".
inline bool LooksLikeTimestamp(const std::string &text)
{
    const std::string shape = "00-00-0000 00:00:00";
    if (text.size() != shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '0' ? !digit : text[i] != shape[i])
            return false;
    }
    return true;
}

// The lines of a log file split at CR LF (the file's only line break).
inline std::vector<std::string> LogLines(const std::string &content)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    for (;;) {
        size_t end = content.find("\r\n", pos);
        lines.push_back(content.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            break;
        pos = end + 2;
    }
    return lines;
}
