// The Logs page: the log file in a virtual list (rows drawn from the text in
// memory, so a long log reloads at once), reloaded incrementally when the
// file only grew, coloured by level; copying lines, exporting the support
// report and clearing the log.
#include "logs_page.h"

#include "clipboard.h"
#include "contrast.h"
#include "config_ids.h"
#include "error_text.h"
#include "log_reader.h"
#include "page_common.h"
#include "page_dialog.h"
#include "placement.h"
#include "tal_link.h"
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
const char kClearQuestion[] = "Clear the log?\n\nEvery record in it is removed. Save the log to a file first if "
                              "you may need it.";
const char kClearedRecord[] = "The log was cleared.";
const COLORREF kWarningText = RGB(0, 0, 0), kWarningBack = RGB(255, 255, 0);
const COLORREF kErrorText = RGB(255, 255, 255), kErrorBack = RGB(255, 64, 64);

// The Logs page's own state: where the files are, the list being shown and
// the text it is drawn from.
struct LogView {
    ScreenScale scale;
    const ConfigSettings *settings = NULL; // the frame's: the log and configuration paths
    HWND list = NULL;               // set by the first reload
    LogText log;
};

void SetLogColumnWidths(HWND list)
{
    RECT client = {};
    GetClientRect(list, &client);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, (int)(client.right * 0.3));
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, (int)(client.right * 0.7));
}

// Fills the list with the log file: only what was added when the file only
// grew.
void ReloadList(LogView *view, HWND list)
{
    bool sameList = list == view->list;
    view->list = list;
    size_t before = sameList ? view->log.rows.size() : 0;
    bool appended = ReadLogFile(view->log, view->settings->logPath, sameList);
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

void InitLogsPage(HWND page, LogView &view)
{
    FitPageToFrame(page, view.scale);
    AttachLink(GetDlgItem(page, IDC_REFRESH_LOG));
    AttachLink(GetDlgItem(page, IDC_SAVE_LOG));
    HINSTANCE instance = InstanceOf(page);
    CreateToolTip(IDC_REFRESH_LOG, page, instance, kRefreshTip);
    CreateToolTip(IDC_SAVE_LOG, page, instance, kSaveTip);
    HWND list = GetDlgItem(page, IDC_LOG_LIST);
    const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    RECT client = {};
    GetClientRect(list, &client);
    AddColumn(list, 0, "Time", (int)(client.right * 0.3));
    AddColumn(list, 1, "Description", (int)(client.right * 0.7));
    ReloadList(&view, list);
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
        // A high-contrast theme's colours stand; the level is in the text.
        return HighContrastOn() ? CDRF_DODEFAULT : CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        size_t row = (size_t)draw->nmcd.dwItemSpec;
        int level = row < view.log.rows.size() ? view.log.rows[row].level : LOG_INFO;
        if (level == LOG_WARNING) {
            draw->clrText = kWarningText;
            draw->clrTextBk = kWarningBack;
        } else if (level == LOG_ERROR) {
            draw->clrText = kErrorText;
            draw->clrTextBk = kErrorBack;
        }
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

void CopySelectedLines(HWND page, const LogView &view)
{
    HWND list = GetDlgItem(page, IDC_LOG_LIST);
    std::vector<size_t> rows;
    int row = -1;
    while ((row = (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)row, LVNI_SELECTED)) != -1)
        rows.push_back((size_t)row);
    // The main window holds the clipboard while it copies.
    CopyTextToClipboard(GetParent(page), CopiedLines(view.log, rows).c_str());
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

void SaveLogToFile(HWND page, const ConfigSettings &settings)
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
    if (!MergeFiles(settings.configPath, settings.logPath, path)) {
        DWORD error = GetLastError();
        std::string text = std::string("The log could not be saved to ") + path + ".";
        if (error != ERROR_SUCCESS)
            text += "\n\n" + DescribeError(error);
        MessageBoxA(page, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
    }
}

void RefreshLog(HWND page, LogView *view)
{
    HWND link = GetDlgItem(page, IDC_REFRESH_LOG);
    EnableWindow(link, FALSE);
    ReloadList(view, GetDlgItem(page, IDC_LOG_LIST));
    EnableWindow(link, TRUE);
}

// Empties the log in place, after asking; the record of the clearing is
// the first of the new log.
void ClearLog(HWND page, LogView *view)
{
    if (MessageBoxA(page, kClearQuestion, kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    if (!Log_Clear()) {
        std::string text = "The log could not be cleared.\n\n" + DescribeError(GetLastError());
        MessageBoxA(page, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
        return;
    }
    LogToFile(kClearedRecord, LOG_NEW_RECORD, LOG_INFO);
    RefreshLog(page, view);
}

void OnLogsCommand(HWND page, LogView &view, int id)
{
    switch (id) {
    case IDC_REFRESH_LOG:
        RefreshLog(page, &view);
        break;
    case IDC_SAVE_LOG:
        SaveLogToFile(page, *view.settings);
        break;
    case IDM_COPY_LINES:
        CopySelectedLines(page, view);
        break;
    case IDM_CLEAR_LOG:
        ClearLog(page, &view);
        break;
    }
}

// Answers a list notification; FALSE for those left to the list.
BOOL OnLogsNotify(HWND page, LogView &view, NMHDR *header)
{
    if (header->idFrom != IDC_LOG_LIST)
        return FALSE;
    switch (header->code) {
    case LVN_GETDISPINFOA:
        FillCell(view, (NMLVDISPINFOA *)header);
        return TRUE;
    case LVN_GETDISPINFOW:
        FillCellWide(view, (NMLVDISPINFOW *)header);
        return TRUE;
    case NM_CUSTOMDRAW:
        SetWindowLongPtrA(page, DWLP_MSGRESULT, OnCustomDraw(view, (NMLVCUSTOMDRAW *)header));
        return TRUE;
    }
    return FALSE;
}

bool OnLogsContextMenu(HWND page, LogView &, HWND control, LPARAM position)
{
    return ShowContextMenu(page, control, IDC_LOG_LIST, 1, position);
}

// The window's new scale: the page is laid out again; the columns follow
// the list's new width.
bool OnLogsScale(HWND page, LogView &view, UINT message, WPARAM, LPARAM lParam)
{
    if (message != kMsgPageScaleChanged || !lParam)
        return false;
    view.scale = *(const ScreenScale *)lParam;
    SetLogColumnWidths(GetDlgItem(page, IDC_LOG_LIST));
    return true;
}

const PageKind<LogView> kLogsPage = {.look = HandlePageMessage,
                                     .init = InitLogsPage,
                                     .command = OnLogsCommand,
                                     .notify = OnLogsNotify,
                                     .contextMenu = OnLogsContextMenu,
                                     .other = OnLogsScale};

} // namespace

void ReloadLogPage(HWND page)
{
    LogView *view = PageState(page, kLogsPage);
    if (view)
        ReloadList(view, GetDlgItem(page, IDC_LOG_LIST));
}

HWND CreateLogsPage(HWND frame, ScreenScale scale, const ConfigSettings &settings)
{
    LogView *view = new LogView();
    view->scale = scale;
    view->settings = &settings;
    return CreatePage(InstanceOf(frame), IDD_LOGS, frame, kLogsPage, view);
}
