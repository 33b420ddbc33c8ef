// The name a pipe of the suite has in one Windows session. With several
// users signed in (fast user switching, a terminal server) each session
// has its own icon and may have its own configuration utility, so each
// reader serves its session's own pipe: the machine-wide name followed by
// "-" and the session's number ("\\.\pipe\TalvexUpdaterTrayPipe-1"). A
// writer that serves every session (the updater) writes to each session's
// pipe in turn; a session without a reader has no such pipe.
#pragma once

#include <windows.h>

#include <string.h>

// Writes the session's pipe name into buffer: false (buffer empty) when it
// does not fit.
inline bool SessionPipeName(const char *pipeName, DWORD session, char *buffer, size_t size)
{
    char digits[12];
    size_t count = 0;
    do {
        digits[count++] = (char)('0' + session % 10);
        session /= 10;
    } while (session && count < sizeof digits);
    size_t length = strlen(pipeName);
    if (size == 0 || length + 1 + count >= size) {
        if (size)
            buffer[0] = '\0';
        return false;
    }
    memcpy(buffer, pipeName, length);
    buffer[length++] = '-';
    while (count)
        buffer[length++] = digits[--count];
    buffer[length] = '\0';
    return true;
}

// The session this process runs in; 0 (the services' session) when unknown.
inline DWORD OwnSession()
{
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session))
        session = 0;
    return session;
}

// The longest pipe name of the suite with its session's number.
const size_t kSessionPipeNameSize = 96;
