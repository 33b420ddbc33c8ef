// The result codes of an update request, as every program names them: the
// code IssueUpdate returns, the server's answer word it stands for, the
// status level it stores (GetRCLOE) and the balloon the notification icon
// shows for it. The codes cross programs as decimal text on the tray pipe
// (signals.h); readers and writers take them from this one table.
#pragma once

#include "config_keys.h"

#include <stddef.h>

#include <string_view>

// ---- Result codes: no exchange, then the answer words in rising severity --
constexpr int kResultNoExchange = 0; // the request did not go out
constexpr int kResultGood = 1;
constexpr int kResultNochg = 2;
constexpr int kResultDnserr = 3;
constexpr int kResult911 = 4;
constexpr int kResultBadagent = 5;
constexpr int kResultNotDonator = 6;
constexpr int kResultNotfqdn = 7;
constexpr int kResultNumhost = 8;
constexpr int kResultNohost = 9;
constexpr int kResultAbuse = 10;
constexpr int kResultBadauth = 11;
constexpr int kResultFirstAnswer = kResultGood;
constexpr int kResultLastAnswer = kResultBadauth;

// ---- Balloon icons, as the notification area numbers them ------------------
constexpr int kBalloonIconInfo = 1;    // NIIF_INFO
constexpr int kBalloonIconWarning = 2; // NIIF_WARNING
constexpr int kBalloonIconError = 3;   // NIIF_ERROR

// ---- Balloon texts: shown to users as they always were, spelling included --
constexpr char kBalloonGood[] = "Talvex returned GOOD.\nYour IP address is now synchronized with your hostname.";
constexpr char kBalloonNochg[] =
    "Talvex returned NOCHNG.\nIf you receive too many of these messages in one day, your account may be blocked "
    "for abuse.";
constexpr char kBalloonNotfqdn[] =
    "Talvex returned NOTFQDN.\nOne or more of your hosts were typed incorrectly, or information was corrupted "
    "during the transfer.  If this occurs muiltiple times, you must reconfigure the Updater before being blocked "
    "for abuse.";
constexpr char kBalloonNumhost[] =
    "Talvex returned NUMHOST.\nYou must remove some hosts from your list, otherwise you will be blocked for abuse.";
constexpr char kBalloonAbuse[] =
    "Talvex returned ABUSE.\nYour account was blocked for updating too frequently with the same information.  "
    "Make sure you're not running multiple update clients on the same network.";
constexpr char kBalloonBadauth[] =
    "Talvex returned BADAUTH.\nEither your username or password may be incorrect, or your account no longer "
    "exists at Talvex.";
// Every code without a text of its own, and any code no table knows.
constexpr char kBalloonOther[] = "A configuration error has occured.\nPlease reconfigure the Updater.";

struct UpdateResult {
    int code;
    const char *word;  // the server's answer word; "no answer" when none came
    int level;         // the TalStatus it stores: good, warning (retried later) or critical (stops)
    int balloonIcon;
    const char *balloonText;
};

// One row per code, in code order.
inline constexpr UpdateResult kUpdateResults[] = {
    {kResultNoExchange, "no answer", kStatusGood, kBalloonIconInfo, kBalloonOther},
    {kResultGood, "good", kStatusGood, kBalloonIconInfo, kBalloonGood},
    {kResultNochg, "nochg", kStatusWarning, kBalloonIconWarning, kBalloonNochg},
    {kResultDnserr, "dnserr", kStatusWarning, kBalloonIconInfo, kBalloonOther},
    {kResult911, "911", kStatusWarning, kBalloonIconInfo, kBalloonOther},
    {kResultBadagent, "badagent", kStatusWarning, kBalloonIconInfo, kBalloonOther},
    {kResultNotDonator, "!donator", kStatusCritical, kBalloonIconInfo, kBalloonOther},
    {kResultNotfqdn, "notfqdn", kStatusCritical, kBalloonIconError, kBalloonNotfqdn},
    {kResultNumhost, "numhost", kStatusCritical, kBalloonIconError, kBalloonNumhost},
    {kResultNohost, "nohost", kStatusCritical, kBalloonIconInfo, kBalloonOther},
    {kResultAbuse, "abuse", kStatusCritical, kBalloonIconError, kBalloonAbuse},
    {kResultBadauth, "badauth", kStatusCritical, kBalloonIconError, kBalloonBadauth},
};

// True when a table keyed by result code has one row for each code from
// first to kResultLastAnswer, in code order, so a code can index it.
template <class Row, size_t N> constexpr bool RowsInCodeOrder(const Row (&rows)[N], int first)
{
    int expected = first;
    for (const Row &row : rows) {
        if (row.code != expected++)
            return false;
    }
    return expected == kResultLastAnswer + 1;
}
static_assert(RowsInCodeOrder(kUpdateResults, kResultNoExchange), "every code once, in code order");

// The row of a code; nullptr for a code outside the table.
constexpr const UpdateResult *FindUpdateResult(long long code)
{
    if (code < kResultNoExchange || code > kResultLastAnswer)
        return nullptr;
    return &kUpdateResults[code];
}

// The row of an answer word, compared exactly; nullptr for a word the
// protocol does not know ("no answer" is no word of the server's).
constexpr const UpdateResult *FindAnswerWord(std::string_view word)
{
    for (int code = kResultFirstAnswer; code <= kResultLastAnswer; ++code) {
        if (word == kUpdateResults[code].word)
            return &kUpdateResults[code];
    }
    return nullptr;
}
