// Balloon texts of the notification icon and the message that pokes it.
#include "tallib.h"
#include "internal.h"
#include "signals.h"

#include <string.h>

namespace {

// Icons as the notification area numbers them.
const int kIconInfo = 1;    // NIIF_INFO
const int kIconWarning = 2; // NIIF_WARNING
const int kIconError = 3;   // NIIF_ERROR

struct Balloon {
    unsigned code;
    int icon;
    const char *text;
};

// Update result codes, then 137 (stopped) and 138 (started). The texts are
// shown to users as they always were, spelling included.
const Balloon kBalloons[] = {
    {1, kIconInfo, "Talvex returned GOOD.\nYour IP address is now synchronized with your hostname."},
    {2, kIconWarning,
     "Talvex returned NOCHNG.\nIf you receive too many of these messages in one day, your account may be blocked "
     "for abuse."},
    {7, kIconError,
     "Talvex returned NOTFQDN.\nOne or more of your hosts were typed incorrectly, or information was corrupted "
     "during the transfer.  If this occurs muiltiple times, you must reconfigure the Updater before being blocked "
     "for abuse."},
    {8, kIconError,
     "Talvex returned NUMHOST.\nYou must remove some hosts from your list, otherwise you will be blocked for "
     "abuse."},
    {10, kIconError,
     "Talvex returned ABUSE.\nYour account was blocked for updating too frequently with the same information.  "
     "Make sure you're not running multiple update clients on the same network."},
    {11, kIconError,
     "Talvex returned BADAUTH.\nEither your username or password may be incorrect, or your account no longer "
     "exists at Talvex."},
    {137, kIconInfo,
     "Talvex Updater has been stopped.\nYou can start updating again by clicking \"Start Updater\" in the "
     "notification icon's right-click menu."},
    {138, kIconInfo,
     "Talvex Updater has been started.\nYou can stop updating by clicking \"Stop Updater\" in the notification "
     "icon's right-click menu."},
};

const Balloon kOtherBalloon = {0, kIconInfo, "A configuration error has occured.\nPlease reconfigure the Updater."};

const Balloon &BalloonFor(unsigned code)
{
    for (const Balloon &b : kBalloons) {
        if (b.code == code)
            return b;
    }
    return kOtherBalloon;
}

} // namespace

int TALAPI GetBalloonMessage(unsigned code, char *buffer, int size, int *icon)
{
    const Balloon &balloon = BalloonFor(code);
    int copied = 0;
    if (icon)
        *icon = balloon.icon;
    // A short buffer gets the text's beginning, always terminated; the
    // result is what the buffer holds.
    if (buffer && size > 0) {
        size_t length = strlen(balloon.text);
        copied = (int)(length < (size_t)size - 1 ? length : (size_t)size - 1);
        memcpy(buffer, balloon.text, (size_t)copied);
        buffer[copied] = '\0';
    }
    return copied;
}

LRESULT TALAPI Alert(int code)
{
    return SendToProgram(kTrayClass, NULL, WM_USER, (WPARAM)code, 0, kNoticeAnswerMs);
}
