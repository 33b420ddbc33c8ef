// ScreenShot: writes the whole screen (or one top-level window found by its
// class) to a 24-bit BMP file, for the picture scripts under Xvfb.
//   ScreenShot <file.bmp> [window class]
#include <windows.h>

#include <stdio.h>

#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: ScreenShot <file.bmp> [window class]\n");
        return 2;
    }
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (argc > 2) {
        HWND window = FindWindowA(argv[2], NULL);
        if (!window || !GetWindowRect(window, &area)) {
            fprintf(stderr, "ScreenShot: no window of class %s\n", argv[2]);
            return 1;
        }
    }
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(stride * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), (BITMAPINFO *)&info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + (DWORD)pixels.size();
    FILE *out = fopen(argv[1], "wb");
    if (!out)
        return 1;
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(pixels.data(), 1, pixels.size(), out);
    fclose(out);
    return 0;
}
