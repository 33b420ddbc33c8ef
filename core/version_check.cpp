// The version check: is the release on the maker's web server newer than
// ours? IsNewerThan compares, NewVersion asks synchronously, CheckVersion
// asks in the background and reports to the configuration utility and the
// notification icon.
#include "tallib.h"
#include "internal.h"
#include "config_keys.h"
#include "http_async.h"
#include "no_throw.h"
#include "signals.h"
#include "talvex_settings.h"
#include "version_text.h"

#include <string.h>

namespace {

const char kVersionPath[] = "/support/clients/talvex-updater-winv4-current-version.html";
// A version page body is 3 to 16 bytes; the background check takes bodies
// below kReplySize bytes.
const size_t kMinBody = 3;
const size_t kMaxBody = 16;
const DWORD kReplySize = 64;
const int kIgnoredSize = 32;

// The version page: plain HTTP on port 80 of the maker's web server.
HttpTarget VersionPage()
{
    HttpTarget page;
    page.host = TALVEX_HOST_WWW;
    page.port = INTERNET_DEFAULT_HTTP_PORT;
    page.path = kVersionPath;
    return page;
}

// Reports the offered version: 142 and the tray notice when it is newer
// than ours and than the version the user chose to ignore, else 141.
void Decide(const char *offered)
{
    bool report = false;
    if (VersionIsNewer(offered, TALVEX_VERSION)) {
        char ignored[kIgnoredSize] = "";
        ConfigReadText(kSectionApp, kKeyIgnoreVersion, "", ignored, sizeof ignored);
        report = ignored[0] == '\0' || VersionIsNewer(offered, ignored);
    }
    // Posted, not sent: this runs on WinHTTP's thread, which waits on no
    // window; each receiver re-reads what it shows anyway.
    if (report) {
        PostToProgram(kConfigClass, kConfigTitle, WM_USER, kCmdUpgradeAvailable, 0);
        TrayIcon_TellUpgrade();
    } else {
        PostToProgram(kConfigClass, kConfigTitle, WM_USER, kCmdLatestVersion, 0);
    }
}

// The one background check of the process, on a session of its own that
// lives as long as the check. busy is taken by CheckVersion and given back
// when the request handle is gone; the rest is touched by the thread that
// took busy, then by the exchange's notifications, one at a time.
struct BackgroundCheck final : HttpReceiver {
    volatile LONG busy = 0;
    ScopedInternet session;
    HttpAsync exchange;

    // A check still running when the library unloads with its process is
    // left to the system, as its request is: WinHTTP is not called then.
    ~BackgroundCheck() { session.release(); }

    char reply[kReplySize] = ""; // the body, while it fits with a terminator
    DWORD received = 0;          // body bytes received, kept or not

    // Bytes are kept only while the body still fits with a terminator; a
    // body of kReplySize bytes or more gives no result at all.
    bool OnBody(const char *bytes, DWORD length) override
    {
        if (received + length < kReplySize)
            memcpy(reply + received, bytes, length);
        received += length;
        return true;
    }
    // A refused or dropped connection, a time-out or a body that did not
    // arrive whole gives no result; the check still ends, so that a later
    // one can run.
    void OnEnd(HttpStep step, DWORD, bool whole) override
    {
        if (step == HttpOk && whole && received > 0 && received < kReplySize) {
            reply[received] = '\0';
            Decide(TrimVersionText(reply).c_str());
        }
    }
    void OnClosed() override
    {
        session.reset();
        InterlockedExchange(&busy, 0); // last: a new check may start now
    }
    void Start()
    {
        received = 0;
        memset(reply, 0, sizeof reply);
        session.reset(OpenHttpSession(true));
        // The status code and headers are not examined: the body decides.
        if (exchange.Start(session.get(), VersionPage(), *this, true, NULL) == HttpOk)
            return; // the exchange ends the check (OnClosed)
        // Nothing was started: no notification will come.
        session.reset();
        InterlockedExchange(&busy, 0);
    }
};

BackgroundCheck g_check;

// NewVersion's work; it may throw when an allocation fails. A body that
// did not arrive whole is no answer: a version cut off in the middle
// ("4.0" of "4.0.10") would be reported as the version found.
int AskVersion(const char *current, char *found, int size)
{
    if (!current || !found || size <= 0)
        return VERSION_NO_ANSWER;
    found[0] = '\0';
    HttpGetRequest request;
    static_cast<HttpTarget &>(request) = VersionPage();
    request.maxBody = kMaxBody;
    HttpGetResult reply = HttpGet(request);
    if (reply.step != HttpOk || !reply.whole || reply.body.size() < kMinBody)
        return VERSION_NO_ANSWER;
    size_t length = reply.body.size();
    if (length >= (size_t)size)
        length = (size_t)size - 1;
    memcpy(found, reply.body.c_str(), length);
    found[length] = '\0';
    strcpy(found, TrimVersionText(found).c_str()); // never longer than before
    return VersionIsNewer(found, current) ? VERSION_NEWER : VERSION_NOT_NEWER;
}

} // namespace

int TALAPI IsNewerThan(const char *first, int, const char *second, int)
{
    if (!first || !second)
        return 0;
    return NoThrow(0, [&] { return VersionIsNewer(first, second) ? 1 : 0; });
}

// -1 unless the page's body arrived whole and 3 to 16 bytes long.
int TALAPI NewVersion(const char *current, char *found, int size)
{
    return NoThrow((int)VERSION_NO_ANSWER, [&] { return AskVersion(current, found, size); });
}

// Starts the background check and returns at once. Its handles outlive
// this call by design: WinHTTP's notifications finish the check and close
// them.
void TALAPI CheckVersion(void)
{
    if (InterlockedCompareExchange(&g_check.busy, 1, 0) != 0)
        return; // one check per process at a time
    g_check.Start();
}
