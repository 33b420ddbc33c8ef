// The Logs page: the log file in a virtual list (rows drawn from the text in
// memory, so a long log reloads at once), reloaded incrementally when the
// file only grew, coloured by level; copying lines and exporting the
// support report.
#include "pages.h"

#include "config_ids.h"
#include "frame.h"
#include "page_common.h"
#include "placement.h"
#include "error_text.h"
#include "log_lines.h"
#include "scoped.h"
#include "tallib.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <string.h>

#include <vector>

namespace {

const char kRefreshTip[] = "Reload the log file.";
const char kSaveTip[] = "Save the log file to a file that you can send to support.";
const char kExportTitle[] = "Talvex Updater - Export Log File";
const char kExportFilter[] = "Text Files (*.txt)\0*.TXT\0";
const char kExportName[] = "TalUpLog.txt";
// The most of a (never truncated) log that is held in memory; a longer one
// shows its end.
const unsigned long long kMaxLogBytes = 64ull * 1024 * 1024;
// How much of the text already read is compared with the file to tell a
// file that only grew from one that was replaced.
const size_t kGrowthSample = 4096;

const COLORREF kWarningText = RGB(0, 0, 0), kWarningBack = RGB(255, 255, 0);
const COLORREF kErrorText = RGB(255, 255, 255), kErrorBack = RGB(255, 64, 64);

// The Logs page's own state (its DWLP_USER): the list being shown and the
// text it is drawn from.
struct LogView {
    HWND list = NULL; // set by the first reload
    LogText log;
};

LogView *ViewOf(HWND page) { return (LogView *)GetWindowLongPtrA(page, DWLP_USER); }

bool ReadAt(HANDLE file, unsigned long long offset, char *buffer, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD got = 0;
    return SetFilePointerEx(file, at, NULL, FILE_BEGIN) && ReadFile(file, buffer, size, &got, NULL) && got == size;
}

// Reads [offset, offset + size) of the file into text's end.
bool ReadInto(HANDLE file, unsigned long long offset, size_t size, std::string &text)
{
    size_t old = text.size();
    text.resize(old + size);
    size_t done = 0;
    while (done < size) {
        DWORD chunk = (DWORD)((size - done) < (1u << 24) ? (size - done) : (1u << 24));
        if (!ReadAt(file, offset + done, &text[old + done], chunk)) {
            text.resize(old);
            return false;
        }
        done += chunk;
    }
    return true;
}

// Whether the file still begins with what was read and only grew.
bool OnlyGrew(HANDLE file, unsigned long long size, const std::string &read)
{
    if (read.empty() || size < read.size() || read.size() > kMaxLogBytes)
        return false;
    size_t sample = read.size() < kGrowthSample ? read.size() : kGrowthSample;
    std::vector<char> bytes(sample);
    if (!ReadAt(file, 0, bytes.data(), (DWORD)sample) || memcmp(bytes.data(), read.data(), sample) != 0)
        return false;
    size_t tail = read.size() - sample;
    return ReadAt(file, tail, bytes.data(), (DWORD)sample) && memcmp(bytes.data(), read.data() + tail, sample) == 0;
}

// Brings view.log up to the file; false when it had to start over.
bool ReadLogFile(LogView &view, const char *logPath, bool sameList)
{
    ScopedFile file(CreateFileA(logPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        ResetLog(view.log);
        return false;
    }
    unsigned long long length = (unsigned long long)size.QuadPart;
    LogText &log = view.log;
    if (sameList && OnlyGrew(file.get(), length, log.text)) {
        std::string added;
        if (length > log.text.size() && ReadInto(file.get(), log.text.size(), length - log.text.size(), added))
            AppendLog(log, added.data(), added.size());
        return true;
    }
    ResetLog(log);
    unsigned long long start = length > kMaxLogBytes ? length - kMaxLogBytes : 0;
    std::string text;
    if (!ReadInto(file.get(), start, (size_t)(length - start), text))
        return false;
    size_t from = 0;
    if (start > 0) { // begin at the first whole line
        size_t newline = text.find('\n');
        from = newline == std::string::npos ? text.size() : newline + 1;
    }
    AppendLog(log, text.data() + from, text.size() - from);
    return false;
}

void SetLogColumnWidths(HWND list)
{
    RECT client = {};
    GetClientRect(list, &client);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, (int)(client.right * 0.3));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, (int)(client.right * 0.7));
}

void InitLogsPage(HWND page)
{
    SetWindowLongPtrA(page, DWLP_USER, (LONG_PTR)new LogView());
    FitPageToFrame(page);
    AttachLink(GetDlgItem(page, IDC_REFRESH_LOG));
    AttachLink(GetDlgItem(page, IDC_SAVE_LOG));
    HINSTANCE instance = AppOf(page).instance;
    CreateToolTip(IDC_REFRESH_LOG, page, instance, kRefreshTip);
    CreateToolTip(IDC_SAVE_LOG, page, instance, kSaveTip);
    HWND list = GetDlgItem(page, IDC_LOG_LIST);
    const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    RECT client = {};
    GetClientRect(list, &client);
    AddColumn(list, 0, "Time", (int)(client.right * 0.3));
    AddColumn(list, 1, "Description", (int)(client.right * 0.7));
    ReloadLog(list);
}

// The text of a row's cell for the virtual list.
void FillCell(const LogView &view, NMLVDISPINFOA *info)
{
    LVITEMA &item = info->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return;
    item.pszText[0] = '\0';
    if (item.iItem < 0 || (size_t)item.iItem >= view.log.rows.size())
        return;
    const LogRow &row = view.log.rows[(size_t)item.iItem];
    std::string text = item.iSubItem == 0 ? RowTime(view.log, row) : RowDescription(view.log, row);
    lstrcpynA(item.pszText, text.c_str(), item.cchTextMax);
}

void FillCellWide(const LogView &view, NMLVDISPINFOW *info)
{
    LVITEMW &item = info->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return;
    item.pszText[0] = L'\0';
    if (item.iItem < 0 || (size_t)item.iItem >= view.log.rows.size())
        return;
    const LogRow &row = view.log.rows[(size_t)item.iItem];
    std::string text = item.iSubItem == 0 ? RowTime(view.log, row) : RowDescription(view.log, row);
    int written = MultiByteToWideChar(CP_ACP, 0, text.c_str(), (int)text.size(), item.pszText, item.cchTextMax - 1);
    item.pszText[written > 0 ? written : 0] = L'\0';
}

// Rows by the entry's level: warnings yellow, errors red.
LRESULT OnCustomDraw(const LogView &view, NMLVCUSTOMDRAW *draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        size_t row = (size_t)draw->nmcd.dwItemSpec;
        int level = row < view.log.rows.size() ? view.log.rows[row].level : 0;
        if (level == 1) {
            draw->clrText = kWarningText;
            draw->clrTextBk = kWarningBack;
        } else if (level == 2) {
            draw->clrText = kErrorText;
            draw->clrTextBk = kErrorBack;
        }
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

void CopySelectedLines(HWND page)
{
    HWND list = GetDlgItem(page, IDC_LOG_LIST);
    std::vector<size_t> rows;
    int row = -1;
    while ((row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) != -1)
        rows.push_back((size_t)row);
    std::string text = CopiedLines(ViewOf(page)->log, rows);
    CopyTextToClipboard(AppOf(page), text.c_str(), text.size() + 10);
}

UINT_PTR CALLBACK CenterExportDialog(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    // Explorer style: the hook's window is a child of the real dialog.
    if (message == WM_INITDIALOG)
        SetPropA(hook, "TalExportOwner", ((OPENFILENAMEA *)lParam)->hwndOwner);
    else if (message == WM_NOTIFY && ((NMHDR *)lParam)->code == CDN_INITDONE)
        CentreWindow(GetParent(hook), (HWND)GetPropA(hook, "TalExportOwner"));
    else if (message == WM_DESTROY)
        RemovePropA(hook, "TalExportOwner");
    return 0;
}

void SaveLogToFile(HWND page)
{
    char desktop[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(NULL, CSIDL_DESKTOPDIRECTORY, NULL, SHGFP_TYPE_CURRENT, desktop)))
        desktop[0] = '\0';
    char path[MAX_PATH] = "";
    lstrcpynA(path, kExportName, sizeof path);
    OPENFILENAMEA save = {};
    save.lStructSize = sizeof save;
    save.hwndOwner = page;
    save.lpstrFilter = kExportFilter;
    save.nFilterIndex = 1;
    save.lpstrFile = path;
    save.nMaxFile = sizeof path;
    save.lpstrInitialDir = desktop;
    save.lpstrTitle = kExportTitle;
    save.lpstrDefExt = "txt";
    save.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLEHOOK;
    save.lpfnHook = CenterExportDialog;
    if (!GetSaveFileNameA(&save))
        return; // cancelled
    // A report that could not be written is said so, with the reason.
    SetLastError(ERROR_SUCCESS);
    const ConfigApp &app = AppOf(page);
    if (!MergeFiles(app.configPath, app.logPath, path)) {
        DWORD error = GetLastError();
        std::string text = std::string("The log could not be saved to ") + path + ".";
        if (error != ERROR_SUCCESS)
            text += "\n\n" + DescribeError(error);
        MessageBoxA(page, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    }
}

void RefreshLog(HWND page)
{
    HWND link = GetDlgItem(page, IDC_REFRESH_LOG);
    EnableWindow(link, FALSE);
    ReloadLog(GetDlgItem(page, IDC_LOG_LIST));
    EnableWindow(link, TRUE);
}

void OnLogsCommand(HWND page, int id)
{
    switch (id) {
    case IDC_REFRESH_LOG:
        RefreshLog(page);
        break;
    case IDC_SAVE_LOG:
        SaveLogToFile(page);
        break;
    case IDM_COPY_LINES:
        CopySelectedLines(page);
        break;
    }
}

// Answers a list notification; false for those left to the list.
bool OnLogsNotify(HWND page, NMHDR *header)
{
    const LogView *view = ViewOf(page);
    if (header->idFrom != IDC_LOG_LIST || !view)
        return false;
    switch (header->code) {
    case LVN_GETDISPINFOA:
        FillCell(*view, (NMLVDISPINFOA *)header);
        return true;
    case LVN_GETDISPINFOW:
        FillCellWide(*view, (NMLVDISPINFOW *)header);
        return true;
    case NM_CUSTOMDRAW:
        SetWindowLongPtrA(page, DWLP_MSGRESULT, OnCustomDraw(*view, (NMLVCUSTOMDRAW *)header));
        return true;
    }
    return false;
}

} // namespace

void ReloadLog(HWND list)
{
    HWND page = list ? GetParent(list) : NULL;
    LogView *view = page ? ViewOf(page) : NULL;
    if (!view)
        return;
    bool sameList = list == view->list;
    view->list = list;
    size_t before = sameList ? view->log.rows.size() : 0;
    bool appended = ReadLogFile(*view, AppOf(page).logPath, sameList);
    if (!appended)
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    size_t count = view->log.rows.size();
    if (appended && count == before) {
        // The last line may have grown in place.
        if (count)
            SendMessageA(list, LVM_REDRAWITEMS, count - 1, count - 1);
        return;
    }
    SendMessageA(list, LVM_SETITEMCOUNT, (WPARAM)count, appended ? LVSICF_NOSCROLL : 0);
    if (count) {
        SendMessageA(list, LVM_ENSUREVISIBLE, (WPARAM)(count - 1), FALSE);
        if (AnyDescription(view->log))
            SetLogColumnWidths(list);
    }
    InvalidateRect(list, NULL, FALSE);
}

INT_PTR CALLBACK LogsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (HandlePageMessage(page, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_INITDIALOG:
        InitLogsPage(page);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return FALSE;
        OnLogsCommand(page, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        return OnLogsNotify(page, (NMHDR *)lParam) ? TRUE : FALSE;
    case WM_CONTEXTMENU:
        if ((HWND)wParam == GetDlgItem(page, IDC_LOG_LIST)) {
            ShowContextMenu(page, 1, lParam);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        delete ViewOf(page);
        SetWindowLongPtrA(page, DWLP_USER, 0);
        return FALSE;
    }
    return FALSE;
}
