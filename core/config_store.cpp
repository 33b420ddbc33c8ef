// The configuration file's host table and [App] status flags.
#include "tallib.h"
#include "internal.h"
#include "config_keys.h"
#include "text_format.h"

#include <stdio.h>
#include <string.h>

namespace {

const int kHostNameSize = 128; // at most 127 characters of a name are used

void HostKey(int n, char *key, int size) { FormatText(key, size, "%s%d", kKeyHostPrefix, n); }

int ReadHostName(int n, char *name, int size)
{
    char key[24];
    HostKey(n, key, sizeof key);
    return ConfigReadText(kSectionHosts, key, "", name, size);
}

int ReadHostKey(const char *host, const char *key, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    if (!host || !host[0]) {
        buffer[0] = '\0';
        return 0;
    }
    return ConfigReadText(host, key, "", buffer, size);
}

int ReadHostKeyByIndex(int n, const char *key, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    char name[kHostNameSize];
    if (ReadHostName(n, name, sizeof name) == 0)
        return 0;
    return ReadHostKey(name, key, buffer, size);
}

int WriteHostKey(const char *host, const char *key, const char *value)
{
    // A null value would delete the key; writing needs a real value.
    if (!host || !host[0] || !value)
        return 0;
    return ConfigWrite(host, key, value);
}

int WriteInt(const char *section, const char *key, int value)
{
    char text[16];
    FormatText(text, sizeof text, "%d", value);
    return ConfigWrite(section, key, text);
}

int WriteFlag(const char *key, int on) { return ConfigWrite(kSectionApp, key, on ? "1" : "0"); }

} // namespace

// A count past this is damage, not a selection (the update request could not
// name that many hosts): it reads as this many, so that a walk over the
// table, which reads the file at every step, always ends.
const int kHostCountMax = 1000;

int TALAPI Host_GetCount(void)
{
    int count = ConfigReadInt(kSectionHosts, kKeyHostCount, 0);
    return count > kHostCountMax ? kHostCountMax : count;
}

int TALAPI Host_GetText(int n, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    return ReadHostName(n, buffer, size);
}

int TALAPI Host_SetText(int n, const char *name)
{
    if (!name)
        return 0;
    char key[24];
    HostKey(n, key, sizeof key);
    return ConfigWrite(kSectionHosts, key, name);
}

int TALAPI Host_SetCount(int count) { return WriteInt(kSectionHosts, kKeyHostCount, count); }

// Appends the selected names, comma-separated. A list that does not fit is
// not cut: the buffer is put back as it was passed and the result is 0.
int TALAPI Host_GetDelString(char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    size_t start = strnlen(buffer, (size_t)size);
    if (start >= (size_t)size) { // not terminated within its size
        buffer[0] = '\0';
        return 0;
    }
    size_t len = start;
    for (int i = 1; i <= Host_GetCount(); ++i) {
        char name[kHostNameSize];
        if (ReadHostName(i, name, sizeof name) == 0)
            continue;
        size_t nameLen = strlen(name);
        size_t needed = len + (len > start ? 1 : 0) + nameLen + 1;
        if (needed > (size_t)size) {
            buffer[start] = '\0';
            return 0;
        }
        if (len > start)
            buffer[len++] = ',';
        memcpy(buffer + len, name, nameLen + 1);
        len += nameLen;
    }
    return 1;
}

int TALAPI Host_GetIP(const char *host, char *buffer, int size) { return ReadHostKey(host, kKeyHostIP, buffer, size); }
int TALAPI Host_GetUpdate(const char *host, char *buffer, int size) { return ReadHostKey(host, kKeyHostUpdate, buffer, size); }
int TALAPI Host_GetStatus(const char *host, char *buffer, int size) { return ReadHostKey(host, kKeyHostStatus, buffer, size); }

int TALAPI Host_GetIPByIndex(int n, char *buffer, int size) { return ReadHostKeyByIndex(n, kKeyHostIP, buffer, size); }
int TALAPI Host_GetUpdateByIndex(int n, char *buffer, int size) { return ReadHostKeyByIndex(n, kKeyHostUpdate, buffer, size); }
int TALAPI Host_GetStatusByIndex(int n, char *buffer, int size) { return ReadHostKeyByIndex(n, kKeyHostStatus, buffer, size); }

int TALAPI Host_SetIP(const char *host, const char *value) { return WriteHostKey(host, kKeyHostIP, value); }
int TALAPI Host_SetUpdate(const char *host, const char *value) { return WriteHostKey(host, kKeyHostUpdate, value); }
int TALAPI Host_SetStatus(const char *host, const char *value) { return WriteHostKey(host, kKeyHostStatus, value); }

int TALAPI Host_Add(const char *host, const char *ip, const char *update)
{
    if (!host || !host[0])
        return 0;
    Host_SetText(Host_GetCount() + 1, host);
    if (ip)
        WriteHostKey(host, kKeyHostIP, ip);
    if (update)
        WriteHostKey(host, kKeyHostUpdate, update);
    return 1;
}

int TALAPI Host_Find(const char *host)
{
    if (!host)
        return 0;
    for (int i = 1; i <= Host_GetCount(); ++i) {
        char name[kHostNameSize];
        ReadHostName(i, name, sizeof name);
        if (lstrcmpiA(name, host) == 0)
            return i;
    }
    return 0;
}

int TALAPI Host_Clean(void)
{
    ConfigWrite(kSectionHosts, NULL, NULL);
    return 0;
}

int TALAPI Host_Remove(void) { return 1; }

int TALAPI SetStatus(int status) { return WriteInt(kSectionApp, kKeyStatus, status); }
int TALAPI GetStatus(void) { return ConfigReadInt(kSectionApp, kKeyStatus, kStatusUnconfigured); }
int TALAPI SetActive(int active) { return WriteFlag(kKeyActive, active); }
int TALAPI SetAuthed(int authed) { return WriteFlag(kKeyAuthed, authed); }
int TALAPI GetAuthed(void) { return ConfigReadInt(kSectionApp, kKeyAuthed, 0) == 1 ? 1 : 0; }
int TALAPI IsFresh(void) { return ConfigReadInt(kSectionApp, kKeyFresh, 0); }
int TALAPI SetFresh(int fresh) { return WriteFlag(kKeyFresh, fresh); }
int TALAPI GetProxy(void) { return ConfigReadInt(kSectionApp, kKeyProxy, -1); }
int TALAPI SetProxy(int proxy) { return WriteFlag(kKeyProxy, proxy); }
