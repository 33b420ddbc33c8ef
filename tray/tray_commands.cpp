// What the icon's menu commands do.
#include "tray_commands.h"

#include "tray_icon.h"
#include "program.h"
#include "resource.h"
#include "config_keys.h"
#include "signals.h"
#include "tallib.h"

namespace {

// Yes or No, No the default, task-modal.
bool AskYes(HWND owner, const char *question)
{
    UINT style = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_TASKMODAL;
    return MessageBoxA(owner, question, kTrayCaption, style) == IDYES;
}

void HideIcon(TrayState &state)
{
    RemoveIcon(state);
    if (AskYes(UiOwner(state), kHideQuestion))
        Profile_WriteText(state.configPath, kSectionApp, kKeyLoadIcon, "0");
}

// False when the user keeps the updater.
bool ExitUpdater(TrayState &state)
{
    if (!AskYes(UiOwner(state), kExitQuestion))
        return false;
    RemoveIcon(state);
    // The service takes the standard stop control; the user process quits
    // on its own command.
    TellServer(IsRunningService() ? (int)kServiceControlStop : (int)kCmdQuitProcess);
    return true;
}

} // namespace

TrayCommandResult RunTrayCommand(TrayState &state, WORD id)
{
    switch (id) {
    case IDM_CONFIGURATION:
        Execute_Config(UiOwner(state));
        return kCommandDone;
    case IDM_START_UPDATER:
        SwitchUpdaterInBackground(true);
        return kCommandDone;
    case IDM_STOP_UPDATER:
        SwitchUpdaterInBackground(false);
        return kCommandDone;
    case IDM_HIDE_ICON:
        HideIcon(state);
        return kEndTheProgram;
    case IDM_UPGRADE:
        Execute_Upgrade(UiOwner(state));
        return kCommandDone;
    case IDM_EXIT:
        return ExitUpdater(state) ? kEndTheProgram : kCommandDone;
    }
    return kNotACommand;
}
