// Opening a web or mail link of the product as the signed-in user.
#pragma once

#include <string>

// Whether the product opens this link at all: an "https://" address with a
// host, or a "mailto:" address. A plain-http page could be changed on its
// way to the browser, and any other kind (a file, a program, a script
// scheme) is no link of ours.
bool IsProductLink(const char *target);

// Opens a link of the product in the user's browser or mail program. From
// an elevated program the desktop's shell opens it, as the signed-in user,
// so the browser never gets the administrator's token; where the shell
// cannot be reached, nothing is opened. False, with `why` in words, when
// the link is not one of ours or could not be opened.
bool OpenLinkAsUser(const char *target, std::string &why);
