// The Help page: the support contact page, the support e-mail address and
// the community web site, each asked about before it opens, and the About
// text beside the help picture.
#include "help_page.h"

#include "config_ids.h"
#include "page_common.h"
#include "page_dialog.h"
#include "scoped.h"
#include "tal_link.h"
#include "tallib.h"
#include "talvex_settings.h"

namespace {

const char kBrowserQuestion[] = "Would you like to open your default web browser now?";
const char kMailQuestion[] = "Would you like to open your default email client now?";
const char kSupportMail[] = "mailto:" TALVEX_SUPPORT_EMAIL;
const char kAboutText[] = "Talvex Updater v" TALVEX_VERSION "\r\n"
                          "Talvex Dynamic DNS Service - " TALVEX_HOST_WWW "\r\n"
                          "\r\n"
                          "Copyright (C) Talvex.  All rights reserved.\r\n"
                          "Support: " TALVEX_SUPPORT_EMAIL;

// The help picture, left of the About box. It keeps its own size in
// pixels, and its left edge too at every scale; its top is a figure of 96
// dots per inch, scaled with the page.
const int kPictureLeftPixels = 11, kPictureY = 285, kPictureSize = 90;

struct HelpLink {
    int id;
    const char *question;
    const char *target; // also the link's tooltip
};
const HelpLink kLinks[] = {
    {IDC_SUPPORT_LINK, kBrowserQuestion, TALVEX_SUPPORT_URL},
    {IDC_BUG_LINK, kMailQuestion, kSupportMail},
    {IDC_COMMUNITY_LINK, kBrowserQuestion, TALVEX_COMMUNITY_URL},
};

// What the frame hands the page: the picture it paints (the frame's,
// prepared on first paint).
struct HelpState {
    ScreenScale scale;
    Image *picture;
};

void InitHelpPage(HWND page, HelpState &help)
{
    FitPageToFrame(page, help.scale);
    for (const HelpLink &link : kLinks) {
        AttachLink(GetDlgItem(page, link.id));
        CreateToolTip(link.id, page, InstanceOf(page), link.target);
    }
    SetDlgItemTextA(page, IDC_ABOUT_TEXT, kAboutText);
}

void OnHelpCommand(HWND page, HelpState &, int id)
{
    for (const HelpLink &link : kLinks)
        if (link.id == id)
            AskAndOpen(page, link.question, link.target);
}

void PaintHelpPage(HWND page, HelpState &help)
{
    ScopedPaint paint(page);
    PrepareImage(*help.picture, paint.get());
    DrawImage(*help.picture, paint.get(), kPictureLeftPixels, ScaleY(help.scale, kPictureY), kPictureSize,
              kPictureSize);
}

// The window's new scale: the picture's top moves with the page.
bool OnHelpScale(HWND page, HelpState &help, UINT message, WPARAM, LPARAM lParam)
{
    if (message != kMsgPageScaleChanged || !lParam)
        return false;
    help.scale = *(const ScreenScale *)lParam;
    InvalidateRect(page, NULL, TRUE);
    return true;
}

const PageKind<HelpState> kHelpPage = {.look = HandlePageMessage,
                                       .init = InitHelpPage,
                                       .command = OnHelpCommand,
                                       .paint = PaintHelpPage,
                                       .other = OnHelpScale};

} // namespace

HWND CreateHelpPage(HWND frame, ScreenScale scale, Image &picture)
{
    return CreatePage(InstanceOf(frame), IDD_HELP, frame, kHelpPage, new HelpState{scale, &picture});
}
