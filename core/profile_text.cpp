// Edits a profile file's text in memory by the profile reader's rules: each
// line is read as the reader reads it (a section header, a key, a comment
// or a blank line), and only the lines an edit concerns are touched.
#include "profile_text.h"

#include <string.h>

namespace {

const size_t kNone = std::string::npos;

// The reader's blanks: CR and the DOS end-of-file mark count as spaces.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

bool SameName(const std::string &text, size_t begin, size_t end, const std::string &name)
{
    if (end - begin != name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Lower(text[begin + i]) != Lower(name[i]))
            return false;
    }
    return true;
}

// One line of the text as the reader sees it.
struct Line {
    size_t begin = 0, end = 0, next = 0; // [begin, end) without its line end; next starts the following line
    size_t first = 0, last = 0;          // the content without the blanks around it
    bool header = false;                 // "[name]": the name is [first + 1, nameEnd)
    bool key = false;                    // a key: the name is [first, nameEnd)
    size_t nameEnd = 0;
    bool hasValue = false;               // "=" follows the key's name: the value is [valueFirst, last)
    size_t valueFirst = 0;
};

Line ReadLine(const std::string &text, size_t begin)
{
    Line line;
    line.begin = begin;
    size_t newline = text.find('\n', begin);
    line.end = newline == kNone ? text.size() : newline;
    line.next = newline == kNone ? text.size() : newline + 1;
    line.first = begin;
    if (begin == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.first = 3; // a UTF-8 mark opens the text, not its first line
    line.last = line.end;
    while (line.first < line.last && IsBlank(text[line.first]))
        ++line.first;
    while (line.last > line.first && IsBlank(text[line.last - 1]))
        --line.last;
    if (line.first == line.last || text[line.first] == ';')
        return line; // blank or comment
    if (text[line.first] == '[') {
        size_t close = line.last - 1; // the last "]" of the line closes the name
        while (close > line.first && text[close] != ']')
            --close;
        if (close > line.first) {
            line.header = true;
            line.nameEnd = close;
            return line;
        }
    }
    line.key = true;
    const char *equals = (const char *)memchr(text.data() + line.first, '=', line.last - line.first);
    if (!equals) {
        line.nameEnd = line.last;
        return line;
    }
    line.nameEnd = (size_t)(equals - text.data());
    line.hasValue = true;
    line.valueFirst = line.nameEnd + 1;
    while (line.nameEnd > line.first && IsBlank(text[line.nameEnd - 1]))
        --line.nameEnd;
    while (line.valueFirst < line.last && IsBlank(text[line.valueFirst]))
        ++line.valueFirst;
    return line;
}

// Where a section and a key lie in the text: the first section of that
// name, and the first line of the key within it.
struct Place {
    bool section = false;
    size_t sectionBegin = 0, sectionEnd = 0; // the header line up to the next header
    size_t insertAt = 0;                     // after the section's last line that is not blank
    bool key = false;
    Line keyLine;
};

Place Find(const std::string &text, const std::string &section, const std::string &key)
{
    Place place;
    place.sectionEnd = text.size();
    for (size_t begin = 0; begin < text.size();) {
        Line line = ReadLine(text, begin);
        if (line.header) {
            if (place.section) {
                place.sectionEnd = begin;
                break;
            }
            if (SameName(text, line.first + 1, line.nameEnd, section)) {
                place.section = true;
                place.sectionBegin = begin;
                place.insertAt = line.next;
            }
        } else if (place.section) {
            if (line.first < line.last)
                place.insertAt = line.next;
            if (line.key && !place.key && !key.empty() && SameName(text, line.first, line.nameEnd, key)) {
                place.key = true;
                place.keyLine = line;
            }
        }
        begin = line.next;
    }
    return place;
}

// New lines end as the text's first line does.
std::string LineEnd(const std::string &text)
{
    size_t newline = text.find('\n');
    return newline != kNone && (newline == 0 || text[newline - 1] != '\r') ? "\n" : "\r\n";
}

// Inserts whole lines at `at`, first ending the line before when it is the
// text's last and has no line end.
void InsertLines(std::string &text, size_t at, std::string lines)
{
    if (at == text.size() && at > 0 && text[at - 1] != '\n')
        lines.insert(0, LineEnd(text));
    text.insert(at, lines);
}

bool IsBreakFree(const std::string &text) { return text.find_first_of(std::string("\r\n\0", 3)) == kNone; }

bool IsTrimmedName(const std::string &name)
{
    return !name.empty() && !IsBlank(name.front()) && !IsBlank(name.back()) && IsBreakFree(name);
}

std::string Trimmed(const std::string &value)
{
    size_t first = 0, last = value.size();
    while (first < last && IsBlank(value[first]))
        ++first;
    while (last > first && IsBlank(value[last - 1]))
        --last;
    return value.substr(first, last - first);
}

void Apply(std::string &text, const ProfileEdit &edit)
{
    Place place = Find(text, edit.section, edit.hasKey ? edit.key : std::string());
    const Line &line = place.keyLine;
    if (!edit.hasKey) {
        if (place.section)
            text.erase(place.sectionBegin, place.sectionEnd - place.sectionBegin);
    } else if (!edit.hasValue) {
        if (place.key)
            text.erase(line.begin, line.next - line.begin);
    } else if (place.key) {
        bool same = line.hasValue && text.compare(line.valueFirst, line.last - line.valueFirst,
                                                  Trimmed(edit.value)) == 0;
        if (!same) {
            // The name keeps its place and spelling; the value and what
            // followed it on the line are replaced, the line end kept.
            size_t contentEnd = line.end > line.begin && text[line.end - 1] == '\r' ? line.end - 1 : line.end;
            text.replace(line.nameEnd, contentEnd - line.nameEnd, "=" + edit.value);
        }
    } else if (place.section) {
        InsertLines(text, place.insertAt, edit.key + "=" + edit.value + LineEnd(text));
    } else {
        std::string end = LineEnd(text);
        InsertLines(text, text.size(), "[" + edit.section + "]" + end + edit.key + "=" + edit.value + end);
    }
}

} // namespace

bool IsWritableEdit(const ProfileEdit &edit)
{
    if (!IsTrimmedName(edit.section) || edit.section.find(']') != kNone)
        return false;
    if (!edit.hasKey)
        return true;
    if (!IsTrimmedName(edit.key) || edit.key.find('=') != kNone || edit.key[0] == '[' || edit.key[0] == ';')
        return false;
    return !edit.hasValue || IsBreakFree(edit.value);
}

bool ApplyProfileEdits(std::string &text, const ProfileEdit *edits, size_t count)
{
    bool guarded = false;
    for (size_t i = 0; i < count; ++i) {
        if (!IsWritableEdit(edits[i]))
            return false;
        guarded = guarded || edits[i].guarded;
    }
    // Guards are judged against the text as it was found, not as earlier
    // edits of the same commit left it (a kept [Hosts] deletion must not
    // void the kept Host1 that follows it).
    const std::string found = guarded ? text : std::string();
    for (size_t i = 0; i < count; ++i) {
        if (GuardHolds(edits[i], found))
            Apply(text, edits[i]);
    }
    return true;
}

void GuardProfileEdit(ProfileEdit &edit, const std::string &text)
{
    if (edit.guarded || !edit.hasKey)
        return; // a section's deletion is replayed as it was asked
    edit.guarded = true;
    edit.hadValue = FindProfileValue(text, edit.section, edit.key, edit.replaced);
}

bool GuardHolds(const ProfileEdit &edit, const std::string &text)
{
    if (!edit.guarded)
        return true;
    std::string now;
    bool has = FindProfileValue(text, edit.section, edit.key, now);
    return has == edit.hadValue && (!has || now == edit.replaced);
}

bool FindProfileValue(const std::string &text, const std::string &section, const std::string &key,
                      std::string &value)
{
    Place place = Find(text, section, key);
    if (!place.key || !place.keyLine.hasValue)
        return false;
    value = text.substr(place.keyLine.valueFirst, place.keyLine.last - place.keyLine.valueFirst);
    return true;
}
