// The configuration pipe's listener: what the updater and TalLib write to
// the utility, turned into messages posted to its window.
#pragma once

#include <windows.h>

bool StartConfigPipeListener(HWND window);
