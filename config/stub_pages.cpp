// Placeholder for the pages until they land: empty pages.
#include "config_app.h"

INT_PTR CALLBACK HomePageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK AdvancedPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK LogsPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
INT_PTR CALLBACK HelpPageProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
bool RunAccountDialog(HWND) { return false; }
void StartAddressRefresh() {}
void StartHostListRefresh() {}
void OnHostListBegin() {}
void OnHostListHost(const char *, size_t) {}
void OnHostListEnd() {}
void ReloadLog(HWND) {}
