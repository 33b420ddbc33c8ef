// The Help page: the support contact page, the support e-mail address and
// the community web site, each asked about before it opens, and the About
// text beside the help picture.
#include "pages.h"

#include "config_ids.h"
#include "frame.h"
#include "page_common.h"
#include "scoped.h"
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

void InitHelpPage(HWND page)
{
    FitPageToFrame(page);
    for (const HelpLink &link : kLinks) {
        AttachLink(GetDlgItem(page, link.id));
        CreateToolTip(link.id, page, AppOf(page).instance, link.target);
    }
    SetDlgItemTextA(page, IDC_ABOUT_TEXT, kAboutText);
}

void OnHelpCommand(HWND page, int id)
{
    for (const HelpLink &link : kLinks)
        if (link.id == id)
            AskAndOpen(page, link.question, link.target);
}

// The help picture, at its natural size, left of the About text.
void PaintHelpPage(HWND page)
{
    ConfigApp &app = AppOf(page);
    ScopedPaint paint(page);
    Image &picture = app.pictures[kPicHelp];
    PrepareImage(picture, paint.get());
    DrawImage(picture, paint.get(), 11, ScaleY(app, 285), 90, 90);
}

} // namespace

INT_PTR CALLBACK HelpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (HandlePageMessage(page, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_INITDIALOG:
        InitHelpPage(page);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return FALSE;
        OnHelpCommand(page, LOWORD(wParam));
        return TRUE;
    case WM_PAINT:
        PaintHelpPage(page);
        return TRUE;
    }
    return FALSE;
}
