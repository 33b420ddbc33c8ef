// The private test network as the programs see it: the service host names
// reach the local Talvex service, and its TLS certificate verifies against
// the throwaway authority without loosening any check.
#include "service_control.h"
#include "test_env.h"

#include <winhttp.h>

namespace {

// One verified HTTPS GET; returns the HTTP status, 0 when the exchange failed.
DWORD HttpsStatus(const wchar_t *host, const wchar_t *path, DWORD *error)
{
    DWORD status = 0, size = sizeof status;
    *error = 0;
    HINTERNET session = WinHttpOpen(L"Talvex-Client-Win32/4.0.8", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connect = session ? WinHttpConnect(session, host, INTERNET_DEFAULT_HTTPS_PORT, 0) : NULL;
    HINTERNET request = connect ? WinHttpOpenRequest(connect, L"GET", path, NULL, WINHTTP_NO_REFERER,
                                                     WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE)
                                : NULL;
    if (request && WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
        WinHttpReceiveResponse(request, NULL)) {
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, NULL, &status, &size,
                            NULL);
    } else {
        *error = GetLastError();
    }
    if (request)
        WinHttpCloseHandle(request);
    if (connect)
        WinHttpCloseHandle(connect);
    if (session)
        WinHttpCloseHandle(session);
    return status;
}

} // namespace

TEST(PrivateNetwork, UpdateServerAnswersOverVerifiedTls)
{
    service::Reset();
    DWORD error = 0;
    // No credentials: the server challenges, as a real one does.
    EXPECT_EQ(401u, HttpsStatus(L"update.talvex.test", L"/text/gethostlist", &error)) << "error " << error;
    EXPECT_EQ(1, service::CountRequests("/text/gethostlist"));
}

TEST(PrivateNetwork, NameOutsideTheCertificateIsRefused)
{
    // localhost reaches the same server, but the certificate does not name
    // it: the exchange must fail rather than be trusted.
    DWORD error = 0;
    EXPECT_EQ(0u, HttpsStatus(L"localhost", L"/text/gethostlist", &error));
    // A certificate error, not a failure to connect.
    EXPECT_TRUE(error == ERROR_WINHTTP_SECURE_FAILURE || error == ERROR_WINHTTP_SECURE_CERT_CN_INVALID ||
                error == ERROR_WINHTTP_SECURE_CHANNEL_ERROR)
        << error;
}
