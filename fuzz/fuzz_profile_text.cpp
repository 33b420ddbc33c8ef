// The configuration's editor: any text, any edits. Nothing is read outside
// the text, an edit that cannot be written changes nothing, a value set
// reads back as set, and an edit leaves every other key reading as before.
#include "profile_text.h"
#include "fuzz_check.h"

#include <ctype.h>
#include <stdint.h>

#include <vector>

namespace {

// The second text, split at line breaks, gives the edits three lines at a
// time: section, key ("-" deletes the section), value ("-" deletes the key).
std::vector<ProfileEdit> ReadEdits(const std::string &editLines)
{
    std::vector<std::string> parts;
    size_t begin = 0;
    for (size_t end; (end = editLines.find('\n', begin)) != std::string::npos; begin = end + 1)
        parts.push_back(editLines.substr(begin, end - begin));
    parts.push_back(editLines.substr(begin));
    std::vector<ProfileEdit> edits;
    for (size_t i = 0; i + 2 < parts.size(); i += 3) {
        ProfileEdit edit;
        edit.section = parts[i];
        edit.hasKey = parts[i + 1] != "-";
        edit.key = edit.hasKey ? parts[i + 1] : "";
        edit.hasValue = parts[i + 2] != "-";
        edit.value = edit.hasValue ? parts[i + 2] : "";
        edits.push_back(edit);
    }
    return edits;
}

bool SameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i]))
            return false;
    }
    return true;
}

// What the reader reads for a key: found or not, and its value.
std::pair<bool, std::string> Read(const std::string &text, const ProfileEdit &e)
{
    std::string value;
    bool found = FindProfileValue(text, e.section, e.key, value);
    return {found, found ? value : std::string()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text, editLines;
    SplitInput(data, size, text, editLines);
    std::vector<ProfileEdit> edits = ReadEdits(editLines);

    std::string all = text;
    if (!ApplyProfileEdits(all, edits.data(), edits.size()))
        FUZZ_CHECK(all == text);

    for (const ProfileEdit &edit : edits) {
        if (!IsWritableEdit(edit))
            continue;
        std::string edited = text;
        FUZZ_CHECK(ApplyProfileEdits(edited, &edit, 1));
        FUZZ_CHECK(edited.size() <= text.size() + edit.section.size() + edit.key.size() + edit.value.size() + 10);
        std::string value;
        if (edit.hasKey && edit.hasValue) {
            FUZZ_CHECK(FindProfileValue(edited, edit.section, edit.key, value));
            FUZZ_CHECK(edit.value.find(value) != std::string::npos); // as set, the blanks around it aside
        }
        // Every other key reads as before: in another section, or another
        // key of the section when only a key changed.
        for (const ProfileEdit &other : edits) {
            bool sameSection = SameName(other.section, edit.section);
            if (!sameSection || (edit.hasKey && !SameName(other.key, edit.key)))
                FUZZ_CHECK(Read(text, other) == Read(edited, other));
        }
        text = edited;
    }
    return 0;
}
