// A byte of the data folder's lock file held as another program holds it:
// locked through a handle of its own, for the object's life. Byte 0 is the
// configuration's lock, 1 the log's, 2 an updater's pass.
#pragma once

#include "scoped.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

struct HeldLockByte {
    ScopedFile file;
    OVERLAPPED at = {};
    HeldLockByte(const std::string &lockFile, DWORD byte)
        : file(CreateFileA(lockFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_ALWAYS, 0, NULL))
    {
        at.Offset = byte;
        EXPECT_TRUE(LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) << GetLastError();
    }
    ~HeldLockByte() { UnlockFileEx(file.get(), 0, 1, 0, &at); }
    HeldLockByte(const HeldLockByte &) = delete;
    HeldLockByte &operator=(const HeldLockByte &) = delete;
};
