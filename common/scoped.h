// Scoped owners of Windows handles: each closes its one kind of handle when
// its scope ends, so every path out of a function releases what it opened.
// Header-only and used inside one module at a time; none of these types ever
// crosses TalLib's exported interface.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <winhttp.h>
#include <winsvc.h>

// A handle of one kind; Traits names its type, its "nothing" value and how
// it is released.
template <typename Traits>
class Scoped {
public:
    using T = typename Traits::Type;
    Scoped() = default;
    explicit Scoped(T h) : h_(h) {}
    ~Scoped() { reset(); }
    Scoped(const Scoped &) = delete;
    Scoped &operator=(const Scoped &) = delete;
    Scoped(Scoped &&other) noexcept : h_(other.release()) {}
    Scoped &operator=(Scoped &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    // For functions that return the handle through a pointer.
    T *out()
    {
        reset();
        return &h_;
    }
    T release()
    {
        T h = h_;
        h_ = Traits::Invalid();
        return h;
    }
    void reset(T h = Traits::Invalid())
    {
        if (h_ != Traits::Invalid())
            Traits::Close(h_);
        h_ = h;
    }

private:
    T h_ = Traits::Invalid();
};

namespace scoped_detail {
template <typename H, BOOL(WINAPI *Release)(H)>
struct NullIsNothing {
    using Type = H;
    static H Invalid() { return NULL; }
    static void Close(H h) { Release(h); }
};
struct FileTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};
struct KeyTraits {
    using Type = HKEY;
    static HKEY Invalid() { return NULL; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
template <typename T>
struct LocalTraits {
    using Type = T;
    static T Invalid() { return NULL; }
    static void Close(T p) { LocalFree((HLOCAL)p); }
};
struct GlobalTraits {
    using Type = HGLOBAL;
    static HGLOBAL Invalid() { return NULL; }
    static void Close(HGLOBAL h) { GlobalFree(h); }
};
struct WaitTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return NULL; }
    // Waits for a callback in progress: none runs once this returns.
    static void Close(HANDLE h) { UnregisterWaitEx(h, INVALID_HANDLE_VALUE); }
};
} // namespace scoped_detail

// Kernel objects whose "nothing" is NULL: threads, processes, events, mutexes.
using ScopedHandle = Scoped<scoped_detail::NullIsNothing<HANDLE, CloseHandle>>;
// Files and pipes, whose "nothing" is INVALID_HANDLE_VALUE.
using ScopedFile = Scoped<scoped_detail::FileTraits>;
// A search of a folder's names from FindFirstFile.
using ScopedFind = Scoped<scoped_detail::FindTraits>;
// A view of a file mapping from MapViewOfFile.
using ScopedView = Scoped<scoped_detail::NullIsNothing<LPCVOID, UnmapViewOfFile>>;
using ScopedInternet = Scoped<scoped_detail::NullIsNothing<HINTERNET, WinHttpCloseHandle>>;
using ScopedService = Scoped<scoped_detail::NullIsNothing<SC_HANDLE, CloseServiceHandle>>;
using ScopedKey = Scoped<scoped_detail::KeyTraits>;
// A wait registered with RegisterWaitForSingleObject.
using ScopedWait = Scoped<scoped_detail::WaitTraits>;
// Bitmaps, brushes, fonts and pens.
using ScopedGdi = Scoped<scoped_detail::NullIsNothing<HGDIOBJ, DeleteObject>>;
// A memory device context from CreateCompatibleDC.
using ScopedMemDc = Scoped<scoped_detail::NullIsNothing<HDC, DeleteDC>>;
using ScopedIcon = Scoped<scoped_detail::NullIsNothing<HICON, DestroyIcon>>;
using ScopedMenu = Scoped<scoped_detail::NullIsNothing<HMENU, DestroyMenu>>;
// Memory the system allocated with LocalAlloc for the caller: security
// descriptors and SIDs converted from text, FormatMessage's text. T is the
// pointer type the allocating call hands out.
template <typename T = HLOCAL>
using ScopedLocal = Scoped<scoped_detail::LocalTraits<T>>;
// A block from GlobalAlloc; release() it once the system took it over (the
// clipboard's SetClipboardData).
using ScopedGlobal = Scoped<scoped_detail::GlobalTraits>;
using ScopedLibrary = Scoped<scoped_detail::NullIsNothing<HMODULE, FreeLibrary>>;
// The ownership of a mutex this thread acquired by a wait: given back with
// ReleaseMutex (the handle itself belongs to someone else and stays open).
using ScopedMutexHold = Scoped<scoped_detail::NullIsNothing<HANDLE, ReleaseMutex>>;

// A critical section that lives as long as its owner, and the holding of
// one for a scope.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;
    CRITICAL_SECTION *get() { return &cs_; }

private:
    CRITICAL_SECTION cs_;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection &section) : cs_(section.get()) { EnterCriticalSection(cs_); }
    ~CriticalSectionLock() { LeaveCriticalSection(cs_); }
    CriticalSectionLock(const CriticalSectionLock &) = delete;
    CriticalSectionLock &operator=(const CriticalSectionLock &) = delete;

private:
    CRITICAL_SECTION *cs_;
};

// A critical section held for a scope only if it was free when asked:
// held() says whether it was taken. Never waits.
class CriticalSectionTryLock {
public:
    explicit CriticalSectionTryLock(CriticalSection &section)
        : cs_(section.get()), held_(TryEnterCriticalSection(cs_) != FALSE)
    {
    }
    ~CriticalSectionTryLock()
    {
        if (held_)
            LeaveCriticalSection(cs_);
    }
    CriticalSectionTryLock(const CriticalSectionTryLock &) = delete;
    CriticalSectionTryLock &operator=(const CriticalSectionTryLock &) = delete;
    bool held() const { return held_; }

private:
    CRITICAL_SECTION *cs_;
    bool held_;
};

// A window's device context from GetDC, given back with ReleaseDC.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedGetDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    ScopedGetDC(const ScopedGetDC &) = delete;
    ScopedGetDC &operator=(const ScopedGetDC &) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint and EndPaint around one WM_PAINT.
class ScopedPaint {
public:
    explicit ScopedPaint(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
    ~ScopedPaint() { EndPaint(window_, &ps_); }
    ScopedPaint(const ScopedPaint &) = delete;
    ScopedPaint &operator=(const ScopedPaint &) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT &info() const { return ps_; }

private:
    HWND window_;
    PAINTSTRUCT ps_;
    HDC dc_;
};

// An object selected into a device context for one scope, then put back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : NULL) {}
    ~ScopedSelect()
    {
        if (old_)
            SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect &) = delete;
    ScopedSelect &operator=(const ScopedSelect &) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// COM for the calling thread, for one scope. COM is per thread: a thread
// that is already in an apartment of the other kind (RPC_E_CHANGED_MODE)
// can still use COM, so ok() is true then, but only a successful call is
// balanced by CoUninitialize.
class ScopedCom {
public:
    explicit ScopedCom(DWORD model = COINIT_APARTMENTTHREADED) : hr_(CoInitializeEx(NULL, model)) {}
    ~ScopedCom()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    ScopedCom(const ScopedCom &) = delete;
    ScopedCom &operator=(const ScopedCom &) = delete;
    bool ok() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT hr_;
};

// A COM interface pointer, released when its scope ends.
template <typename I>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr &) = delete;
    ComPtr &operator=(const ComPtr &) = delete;
    ComPtr(ComPtr &&other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        if (this != &other) {
            reset(other.p_);
            other.p_ = nullptr;
        }
        return *this;
    }

    I *get() const { return p_; }
    I *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For CoCreateInstance and QueryInterface.
    void **out()
    {
        reset();
        return reinterpret_cast<void **>(&p_);
    }
    // Releases the interface held and takes p, whose reference it now owns.
    void reset(I *p = nullptr)
    {
        if (p_)
            p_->Release();
        p_ = p;
    }

private:
    I *p_ = nullptr;
};
