// Placeholder for the frame until it lands: links, shows nothing.
#include "config_app.h"

ConfigApp g_app;

void ShowPage(int) {}
void ApplyStatus(int) {}
void CopyTextToClipboard(const char *, size_t) {}
void EnableApply() {}
bool HandlePageMessage(HWND, UINT, WPARAM, LPARAM, INT_PTR *) { return false; }
void LoadSettings() {}
void SaveSettings() {}
bool StartConfigPipeListener() { return false; }
int LoadPictureResource(Image &, HINSTANCE, int) { return 0; }
void PrepareImage(Image &, HDC) {}
void DrawImage(const Image &, HDC, int, int, int, int) {}
void FreeImage(Image &) {}
void AttachLink(HWND) {}
void AttachMenuButton(HWND, HFONT, Image *) {}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
