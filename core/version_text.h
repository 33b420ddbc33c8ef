// Version texts: trimming a fetched page body and comparing two versions.
// Pure text functions, no I/O.
#pragma once

#include <string>

// The first text is newer than the second: the first three fields
// (separated by runs of " :.\r\n\t") compared as unsigned numbers, missing
// fields as 0; on a tie a release beats a beta ("b" in the third field).
bool VersionIsNewer(const char *first, const char *second);

// Removes the trim set " \t\r\n:;_=-`~" from both ends.
std::string TrimVersionText(const std::string &text);
