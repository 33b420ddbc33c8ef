// Balloon texts of the notification icon and the message that pokes it.
#include "tallib.h"
#include "internal.h"
#include "signals.h"
#include "update_results.h"

#include <shellapi.h>

#include <string.h>

namespace {

static_assert(kBalloonIconInfo == NIIF_INFO && kBalloonIconWarning == NIIF_WARNING &&
                  kBalloonIconError == NIIF_ERROR,
              "the table's icons as the notification area numbers them");

struct Balloon {
    int icon;
    const char *text;
};

const Balloon kStoppedBalloon = {
    kBalloonIconInfo, "Talvex Updater has been stopped.\nYou can start updating again by clicking \"Start Updater\" in "
                      "the notification icon's right-click menu."};
const Balloon kStartedBalloon = {
    kBalloonIconInfo, "Talvex Updater has been started.\nYou can stop updating by clicking \"Stop Updater\" in the "
                      "notification icon's right-click menu."};

// An update result code (update_results.h), or the updater's stop or start.
Balloon BalloonFor(unsigned code)
{
    if (code == kCmdDeactivate)
        return kStoppedBalloon;
    if (code == kCmdActivate)
        return kStartedBalloon;
    if (const UpdateResult *result = FindUpdateResult(code))
        return {result->balloonIcon, result->balloonText};
    return {kBalloonIconInfo, kBalloonOther};
}

} // namespace

int TALAPI GetBalloonMessage(unsigned code, char *buffer, int size, int *icon)
{
    const Balloon balloon = BalloonFor(code);
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
