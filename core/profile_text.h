// The configuration's text edited in memory by the rules the system's
// profile reader reads it by: pure functions, text in and text out, so the
// commit writes the file once and the rules are tested and fuzzed without
// Windows.
#pragma once

#include <stddef.h>

#include <string>

// One profile write: a key's value, a key's deletion (no value) or a
// section's deletion (no key), as WritePrivateProfileStringA takes them.
struct ProfileEdit {
    std::string section;
    bool hasKey = false;
    std::string key;
    bool hasValue = false;
    std::string value;
    // A kept edit (one a failed commit left for a later one) is written
    // only while the key still reads as it did when it was kept, present
    // with `replaced` or absent: a value another program wrote meanwhile
    // is newer and wins.
    bool guarded = false;
    bool hadValue = false;
    std::string replaced;
};

// True when the edit can be written as lines the profile reader reads back
// as meant: a section name without "]", a key name without "=" that does
// not start as a section or a comment, no line break anywhere, and names
// neither empty nor padded with spaces.
bool IsWritableEdit(const ProfileEdit &edit);

// Applies the edits, in order, to the text of a profile file. Sections and
// keys are matched without regard to the case of ASCII letters (the
// configuration's names are ASCII) and the first occurrence wins,
// as the reader sees them; a value set to what the key already reads leaves
// the line as it was; a deletion removes the key's line, or the section's
// header and every line up to the next section; a new key goes after the
// last line of its section that is not blank, a new section at the end of
// the text. Every other line stays byte for byte, and new lines end as the
// text's first line end does (CR LF in an empty text). False, with the text
// unchanged, when an edit is not writable.
bool ApplyProfileEdits(std::string &text, const ProfileEdit *edits, size_t count);

// What the profile reader reads for a key: its value with the spaces
// around it removed. False when the section or the key is absent, or the
// key's line has no "=".
bool FindProfileValue(const std::string &text, const std::string &section, const std::string &key,
                      std::string &value);

// Makes a key edit guarded by what the key reads in `text` now.
void GuardProfileEdit(ProfileEdit &edit, const std::string &text);

// Whether a guarded edit still applies to `text` (every other edit does).
bool GuardHolds(const ProfileEdit &edit, const std::string &text);
