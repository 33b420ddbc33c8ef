// Control-interface client of the local Talvex service, over WinHTTP.
#include "service_control.h"
#include "test_env.h"
#include "scoped.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <stdio.h>

namespace service {

namespace {

const int kControlPort = 8081;

std::string Exchange(const wchar_t *verb, const std::string &path, const std::string &body)
{
    std::string reply;
    bool ok = false;
    std::wstring wpath(path.begin(), path.end());
    ScopedInternet session(WinHttpOpen(L"Talvex-Tests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    ScopedInternet connect(session ? WinHttpConnect(session.get(), L"127.0.0.1", kControlPort, 0) : NULL);
    ScopedInternet request(connect ? WinHttpOpenRequest(connect.get(), verb, wpath.c_str(), NULL, WINHTTP_NO_REFERER,
                                                        WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                   : NULL);
    if (request &&
        WinHttpSendRequest(request.get(), L"Content-Type: application/json\r\n", (DWORD)-1L, (void *)body.data(),
                           (DWORD)body.size(), (DWORD)body.size(), 0) &&
        WinHttpReceiveResponse(request.get(), NULL)) {
        ok = true;
        DWORD available = 0;
        while (WinHttpQueryDataAvailable(request.get(), &available) && available > 0) {
            std::string chunk(available, '\0');
            DWORD read = 0;
            if (!WinHttpReadData(request.get(), chunk.data(), available, &read))
                break;
            reply.append(chunk.data(), read);
        }
    }
    EXPECT_TRUE(ok) << "local Talvex service unreachable for " << path << " (error " << GetLastError() << ")";
    return reply;
}

} // namespace

std::string Post(const std::string &path, const std::string &json) { return Exchange(L"POST", path, json); }
std::string Get(const std::string &path) { return Exchange(L"GET", path, ""); }

std::string Quote(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

void Reset() { Post("/control/reset"); }
void SetAddress(const std::string &address) { Post("/control/address", "{\"address\": " + Quote(address) + "}"); }

void SetProxy(bool enabled, const std::string &address)
{
    std::string json = std::string("{\"enabled\": ") + (enabled ? "true" : "false");
    if (!address.empty())
        json += ", \"address\": " + Quote(address);
    Post("/control/proxy", json + "}");
}

void Listen(int port, bool enabled)
{
    Post("/control/listen", "{\"port\": " + std::to_string(port) + ", \"enabled\": " + (enabled ? "true" : "false") + "}");
}

void Script(const std::string &endpoint, const std::string &body, const std::string &mode, int times, int status)
{
    Post("/control/script", "{\"endpoint\": " + Quote(endpoint) + ", \"body\": " + Quote(body) +
                                ", \"mode\": " + Quote(mode) + ", \"times\": " + std::to_string(times) +
                                ", \"status\": " + std::to_string(status) + "}");
}

void SetVersion(const std::string &body) { Post("/control/version", "{\"body\": " + Quote(body) + "}"); }

std::string Requests(const std::string &path)
{
    return Get(path.empty() ? "/control/requests" : "/control/requests?path=" + path);
}

int CountRequests(const std::string &path)
{
    return CountOccurrences(Requests(path), "\"path\": " + Quote(path));
}

} // namespace service
