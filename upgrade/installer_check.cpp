// The upgrade assistant's decisions about a download (see installer_check.h).
#include "installer_check.h"
#include "text_format.h"

#include <windows.h>
#include <winhttp.h>

#include <stdio.h>
#include <string.h>

namespace {

const char kNothingInstalled[] = "  Nothing was installed; try again later.";

uint32_t Read16(const unsigned char *p) { return p[0] | (p[1] << 8); }
uint32_t Read32(const unsigned char *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

} // namespace

int DownloadPercent(uint64_t received, uint64_t total)
{
    if (total == 0 || received > total)
        return -1;
    return (int)((double)received * 100.0 / (double)total);
}

InstallerVerdict JudgeExchange(bool saved, unsigned status, uint64_t received, uint64_t total)
{
    if (!saved)
        return kInstallerNotSaved;
    if (status != HTTP_STATUS_OK)
        return kInstallerBadStatus;
    if (received == 0 || (total > 0 && received != total))
        return kInstallerIncomplete;
    return kInstallerOk;
}

std::string VerdictText(InstallerVerdict verdict, unsigned long detail, const char *errorText, uint64_t received,
                        uint64_t total)
{
    char text[512];
    switch (verdict) {
    case kInstallerOk:
        return std::string();
    case kInstallerNotSaved:
        FormatText(text, sizeof text, "The installer could not be saved in the data folder (%s).", errorText);
        break;
    case kInstallerBadStatus:
        FormatText(text, sizeof text, "The download server answered with status %lu instead of the installer.", detail);
        break;
    case kInstallerIncomplete:
        FormatText(text, sizeof text, "The download was incomplete (%I64u of %I64u bytes).", (unsigned long long)received,
                 (unsigned long long)total);
        break;
    case kInstallerNotProgram:
        FormatText(text, sizeof text, "The file received is not the Talvex Updater installer.");
        break;
    case kInstallerNotSigned:
        FormatText(text, sizeof text, "The file received is not signed by the Talvex publisher.");
        break;
    case kInstallerNotNewer:
        // The assistant only ever upgrades; an older release is installed
        // by running its installer by hand.
        FormatText(text, sizeof text,
                   "The installer received (version %s) is not newer than the installed version.  To go back to an "
                   "older version, run its installer yourself.",
                   errorText[0] ? errorText : "unknown");
        break;
    case kInstallerNetwork: // and anything unforeseen: the exchange is to blame
    default:
        FormatText(text, sizeof text, "The connection to the download server failed or could not be verified (%s).",
                 errorText);
        break;
    }
    return std::string(text) + kNothingInstalled;
}

bool LooksLikeWindowsProgram(const unsigned char *head, size_t headSize, uint64_t fileSize)
{
    if (headSize > fileSize || headSize < 64 || head[0] != 'M' || head[1] != 'Z')
        return false;
    uint32_t pe = Read32(head + 60);
    // Signature (4) and file header (20) must lie in what was read.
    if ((uint64_t)pe + 24 > headSize || memcmp(head + pe, "PE\0\0", 4) != 0)
        return false;
    const unsigned char *file = head + pe + 4;
    uint32_t machine = Read16(file);
    if (machine != 0x014C && machine != 0x8664) // x86, x64
        return false;
    uint32_t sections = Read16(file + 2);
    uint32_t optionalSize = Read16(file + 16);
    uint64_t optional = (uint64_t)pe + 24;
    uint64_t table = optional + optionalSize;
    if (optionalSize < 2 || sections == 0 || table + 40ull * sections > headSize)
        return false;
    uint32_t magic = Read16(head + optional);
    if (magic != 0x10B && magic != 0x20B)
        return false;
    for (uint32_t i = 0; i < sections; ++i) {
        const unsigned char *s = head + table + 40ull * i;
        uint64_t end = (uint64_t)Read32(s + 20) + Read32(s + 16); // raw data offset + size
        if (end > fileSize)
            return false; // cut off
    }
    return true;
}

std::string FixedVersionText(bool present, unsigned long versionMS, unsigned long versionLS)
{
    if (!present)
        return std::string();
    char text[48];
    FormatText(text, sizeof text, "%lu.%lu.%lu.%lu", versionMS >> 16, versionMS & 0xFFFF, versionLS >> 16,
               versionLS & 0xFFFF);
    return text;
}

