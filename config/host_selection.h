// The host list's rules that need no window: whether a host belongs to the
// saved selection, what the check commands do to a row, and the texts of
// its copy command. Pure text, no Win32 call.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// Longest host name a row holds, and the longest part of the saved
// selection or of a copied name that is compared or copied.
const size_t kHostNameMax = 255;
const size_t kSelectionPartMax = 127;

// A row's check box, as its state image index.
enum CheckState { kNoCheckBox = 0, kUnchecked = 1, kChecked = 2 };

enum CheckCommand { kCheckAll, kCheckNone, kCheckInverse, kCheckSelected, kUncheckSelected };

// The first length characters of name, at most kHostNameMax, stopping at a
// terminating zero.
std::string HostNameOf(const char *name, size_t length);

// The names of the saved selection ("a,b,c"), each part cut to
// kSelectionPartMax characters and stripped of spaces, ",", ":", ";", "/"
// and line ends at both ends; empty parts are left out.
std::vector<std::string> SelectionNames(const char *selection);

// Whether host equals one of the selection's names, ignoring ASCII case.
bool SelectionHasHost(const char *selection, const std::string &host);

// A row's check state after a command; selected tells whether the row is
// selected (only the two "Selected" commands look at it).
int StateAfter(CheckCommand command, int state, bool selected);

// Whether a change of a row's state is one between unchecked and checked
// (the change that enables Apply); gaining a check box is not.
bool IsCheckChange(int oldState, int newState);

// Names joined by "\r\n", each cut to kSelectionPartMax characters, no
// separator after the last.
std::string CopiedHostNames(const std::vector<std::string> &names);
