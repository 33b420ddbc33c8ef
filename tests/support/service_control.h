// Client of the local Talvex service's control interface (127.0.0.1:8081),
// used by tests to set the public address, script answers and read the
// requests the service received.
#pragma once

#include <string>

namespace service {

// Each returns the response body; an empty string when the service could
// not be reached (and the calling test fails with a message).
std::string Post(const std::string &path, const std::string &json = "{}");
std::string Get(const std::string &path);

void Reset();
void SetAddress(const std::string &address);
void SetProxy(bool enabled, const std::string &address = "");
void Listen(int port, bool enabled);
// Scripts the next answer of an endpoint ("checkip", "checkip80",
// "checkip8245", "update", "hostlist", "version", "download"), answered
// with that HTTP status.
void Script(const std::string &endpoint, const std::string &body, const std::string &mode = "normal",
            int times = 1, int status = 200);
void SetVersion(const std::string &body);

// The request log as JSON text, optionally only one path.
std::string Requests(const std::string &path = "");
// How many requests for that path the service received.
int CountRequests(const std::string &path);

// Quotes text as a JSON string.
std::string Quote(const std::string &text);

} // namespace service
