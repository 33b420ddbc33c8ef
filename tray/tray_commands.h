// What the icon's menu commands do.
#pragma once

#include "tray_state.h"

enum TrayCommandResult {
    kNotACommand,  // an id that is not one of the menu's
    kCommandDone,
    kEndTheProgram // the command ends the program: the window does it
};

TrayCommandResult RunTrayCommand(TrayState &state, WORD id);
