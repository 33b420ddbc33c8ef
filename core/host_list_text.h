// Reading the host-list reply: whether it refuses the credentials, and the
// host names it offers, in reply order. Pure text functions, no I/O.
#pragma once

#include <string>
#include <vector>

// The service refuses the credentials with "badauth" anywhere in the reply.
bool HostListRefused(const std::string &body);

// The names offered by a reply of lines "prefix:name,name,...", each ended
// by a line feed; text after the last line feed is not read.
std::vector<std::string> OfferedHosts(const std::string &body);
