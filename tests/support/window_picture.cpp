// Pictures of windows from the screen (see window_picture.h).
#include "window_picture.h"

#include "test_env.h"

#include <commctrl.h>
#include <string.h>

#include <algorithm>

namespace {

int Stride(int width) { return ((width * 3 + 3) / 4) * 4; }

// A 24-bit bottom-up picture's header.
BITMAPINFOHEADER Header(const WindowPicture &picture)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    return header;
}

struct PlaceWalk {
    HWND top;
    std::string text;
};

BOOL CALLBACK AddPlace(HWND child, LPARAM parameter)
{
    PlaceWalk &walk = *(PlaceWalk *)parameter;
    if (!IsWindowVisible(child))
        return TRUE;
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof cls);
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(NULL, walk.top, (POINT *)&r, 2);
    walk.text += std::string(cls) + " " + std::to_string(GetDlgCtrlID(child)) + " (" + std::to_string(r.left) + ", " +
                 std::to_string(r.top) + ") " + std::to_string(r.right - r.left) + "x" +
                 std::to_string(r.bottom - r.top);
    // A list's columns are no windows of their own.
    for (int column = 0; strcmp(cls, "SysListView32") == 0 && column < 8; ++column) {
        LRESULT width = SendMessageA(child, LVM_GETCOLUMNWIDTH, column, 0);
        if (width <= 0)
            break;
        walk.text += " column " + std::to_string(width);
    }
    walk.text += "\n";
    return TRUE;
}

} // namespace

bool SendDpiChange(HWND window, int dpi, const RECT &suggested)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return false;
    void *there = VirtualAllocEx(process, NULL, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    DWORD_PTR answer = 0;
    bool sent = there && WriteProcessMemory(process, there, &suggested, sizeof suggested, NULL) &&
                SendMessageTimeoutA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), (LPARAM)there, SMTO_ABORTIFHUNG,
                                    5000, &answer);
    if (there)
        VirtualFreeEx(process, there, 0, MEM_RELEASE);
    CloseHandle(process);
    return sent;
}

std::string ControlPlaces(HWND window)
{
    PlaceWalk walk = {window, ""};
    EnumChildWindows(window, AddPlace, (LPARAM)&walk);
    return walk.text;
}

WindowPicture TakeWindowPicture(HWND window, bool clientOnly)
{
    WindowPicture picture;
    RECT area = {};
    if (clientOnly) {
        GetClientRect(window, &area);
        MapWindowPoints(window, NULL, (POINT *)&area, 2);
    } else {
        GetWindowRect(window, &area);
    }
    picture.width = area.right - area.left;
    picture.height = area.bottom - area.top;
    if (picture.width <= 0 || picture.height <= 0)
        return picture;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header = Header(picture);
    picture.pixels.resize((size_t)Stride(picture.width) * picture.height);
    GetDIBits(memory, bitmap, 0, picture.height, picture.pixels.data(), (BITMAPINFO *)&header, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return picture;
}

WindowPicture SteadyWindowPicture(HWND window, bool clientOnly)
{
    RedrawWindow(window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WindowPicture last = TakeWindowPicture(window, clientOnly);
    for (int tries = 0; tries < 50; ++tries) {
        // Once the window's thread answers, what it was asked to paint is painted.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
        Sleep(100);
        WindowPicture next = TakeWindowPicture(window, clientOnly);
        bool alike = next.width == last.width && next.height == last.height && next.pixels == last.pixels;
        last = std::move(next);
        if (alike)
            break;
    }
    return last;
}

void SaveWindowPicture(const WindowPicture &picture, const std::string &path)
{
    BITMAPINFOHEADER header = Header(picture);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + (DWORD)picture.pixels.size();
    std::string bytes((const char *)&file, sizeof file);
    bytes.append((const char *)&header, sizeof header);
    bytes.append((const char *)picture.pixels.data(), picture.pixels.size());
    WriteWholeFile(path, bytes);
}

void SaveWindowPicture(HWND window, const std::string &path) { SaveWindowPicture(TakeWindowPicture(window), path); }

std::string PictureDifference(const WindowPicture &a, const WindowPicture &b, const RECT *area)
{
    if (a.width != b.width || a.height != b.height)
        return "size " + std::to_string(a.width) + "x" + std::to_string(a.height) + " against " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    int count = 0, left = a.width, top = a.height, right = -1, bottom = -1;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            POINT p = {x, y};
            if (area && !PtInRect(area, p))
                continue;
            size_t at = (size_t)(a.height - 1 - y) * Stride(a.width) + (size_t)x * 3;
            if (std::equal(&a.pixels[at], &a.pixels[at] + 3, &b.pixels[at]))
                continue;
            ++count;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    if (count == 0)
        return "";
    return std::to_string(count) + " pixels differ within (" + std::to_string(left) + ", " + std::to_string(top) +
           ")-(" + std::to_string(right) + ", " + std::to_string(bottom) + ")";
}
