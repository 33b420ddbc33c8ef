// One pass of the update cycle, shared by the service and the process updater.
#include "update_cycle.h"

#include "admin_events.h"
#include "config_keys.h"
#include "error_text.h"
#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"
#include "text_format.h"
#include "update_results.h"

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// A host whose last accepted update is older than this is refreshed even
// when its address did not change.
const unsigned long long kRefreshAfterSeconds = 60ull * 60 * 60;
// A list of hosts to update shorter than this, its trailing comma included,
// names no real host and is not sent.
const size_t kShortestHostList = 5;

// The dotted-quad core of a stored address text.
void TrimAddress(char *address)
{
    size_t len = strlen(address), start = 0;
    auto core = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
    while (start < len && !core(address[start]))
        ++start;
    while (len > start && !core(address[len - 1]))
        --len;
    memmove(address, address + start, len - start);
    address[len - start] = '\0';
}

// What the stored configuration says about one host.
struct HostCheck {
    bool needsUpdate = false;
    bool addressChanged = false;
    char storedAddress[20] = ""; // the dotted-quad core of the stored "IP"
};

// A host needs an update when its address changed, when nothing is stored
// for it, or when its last update is 60 hours old (or in the future).
// Reads the configuration only.
HostCheck CheckHost(const EngineState &engine, const char *name)
{
    HostCheck check;
    char updated[24] = "";
    bool hasAddress = Host_GetIP(name, check.storedAddress, sizeof check.storedAddress) > 0;
    TrimAddress(check.storedAddress);
    check.addressChanged = hasAddress && lstrcmpiA(check.storedAddress, engine.currentAddress) != 0;
    bool hasTime = Host_GetUpdate(name, updated, sizeof updated) > 0;
    bool stale = hasTime && (strlen(updated) < kTimestampLength || TimeElapsed(updated) > kRefreshAfterSeconds);
    check.needsUpdate = !hasAddress || check.addressChanged || !hasTime || stale;
    return check;
}

void LogAddressChange(const char *from, const char *to)
{
    std::string message = std::string("IP Changed from [") + from + "] to [" + to + "]";
    LogAndSignal(message.c_str(), LOG_NEW_RECORD, LOG_INFO);
}

// The selected hosts that need an update, comma-separated, each changed
// address logged on the way, in the hosts' order.
std::string HostsToUpdate(const EngineState &engine)
{
    std::string hosts;
    for (int i = 1; i <= Host_GetCount(); ++i) {
        char name[128] = "";
        if (Host_GetText(i, name, sizeof name) <= 0)
            continue;
        HostCheck check = CheckHost(engine, name);
        if (check.addressChanged)
            LogAddressChange(check.storedAddress, engine.currentAddress);
        if (check.needsUpdate)
            hosts += std::string(name) + ",";
    }
    return hosts;
}

// Folds the result code into status, interval and the stored update time.
PassOutcome ApplyResult(EngineState &engine, int code)
{
    int level = GetRCLOE((unsigned)code);

    char timestamp[32] = "";
    GetTimestamp(timestamp, sizeof timestamp);
    Profile_WriteText(engine.iniPath, kSectionApp, kKeyLastUpdate, timestamp);

    // A new configuration's "nochg" was already taken as success. Any other
    // temporary failure is one: the user is not told "Good" for records that
    // were not updated, and the flag stays for the pass that tries again.
    if (engine.fresh && level != kStatusWarning) {
        SetFresh(0);
        engine.fresh = 0;
    }
    // The result level is what "Status" stores: good, warning or critical.
    SetStatus(level);
    engine.status = level;
    if (level == kStatusCritical)
        return PassOutcome::Stop;
    if (level == kStatusWarning) {
        if (engine.intervalMinutes < kLongestIntervalMinutes)
            engine.intervalMinutes *= 2;
        return PassOutcome::BackOff;
    }
    engine.intervalMinutes = kShortestIntervalMinutes;
    return PassOutcome::Continue;
}

// The cause follows the fixed warning as an information record, for the
// user and for support: the step that failed and the system's words for it.
void ReportAddressFailureCause()
{
    char cause[256] = "";
    if (GetLastFailure(cause, sizeof cause) > 0)
        LogAndSignal((std::string("Address check failed: ") + cause + ".").c_str(), LOG_NEW_RECORD, LOG_INFO);
}

// Tells the icon the address a check found (empty when none). The icon
// reads "LastIP" when it gets this, so the pass's collected writes go to
// the file first (nothing is written when the address is the same).
void AnnounceAddress(const char *address)
{
    char message[128];
    FormatText(message, sizeof message, "%c%s", kTrayMsgAddress, address);
    Profile_CommitBatch();
    Signal(kTrayPipeName, message);
}

// Tells the icon a pass's result code, once the pass's writes are in the file.
void AnnounceResult(int code)
{
    Profile_CommitBatch();
    char text[8];
    FormatText(text, sizeof text, "%d", code);
    Signal(kTrayPipeName, text);
}

// Another updater (another account's user-process updater) may be at the
// same point of a pass for the same hosts, woken by the same network
// change: whichever comes second waits for the first to record what it
// sent, and then finds nothing to send. The other's exchange takes well
// under a second on a working network; a pass waits 30 s at most, then
// goes on without the lock (a hung or hostile holder delays the hosts'
// update, never stops it, and holds up a stop of the updater no longer
// than a slow exchange would); that is said once, until the lock can be
// had again.
const unsigned kPassLockWaitMs = 30000;

struct PassHold {
    bool held = false;
    PassHold()
    {
        static bool toldUnheld = false;
        held = Pass_Begin(kPassLockWaitMs) != 0;
        if (!held && !toldUnheld) {
            std::string why = DescribeError(GetLastError());
            LogAndSignal(("This pass goes on without waiting for other updaters: Windows " + why + ".").c_str(),
                         LOG_NEW_RECORD, LOG_INFO);
        }
        toldUnheld = !held;
    }
    ~PassHold()
    {
        if (held)
            Pass_End();
    }
    PassHold(const PassHold &) = delete;
    PassHold &operator=(const PassHold &) = delete;
};

} // namespace

bool CheckAndAnnounceAddress(EngineState &engine)
{
    char address[20] = "";
    bool valid = GetPublicAddress(address, sizeof address) == 1;
    AnnounceAddress(address);
    if (!valid)
        return false;
    lstrcpynA(engine.currentAddress, address, sizeof engine.currentAddress);
    return true;
}

// A pass collects what it writes and commits it once at its end, and
// before each signal that sends another program to read the file. No lock
// is held meanwhile: the network exchanges run with the file free, and the
// commit applies only the keys the pass changed to the file as it then is.
// A pass that dies before its commit loses only its own records, which the
// next pass writes again.
PassOutcome RunUpdateCycle(EngineState &engine, bool force)
{
    PassOutcome outcome = PassOutcome::Continue;
    Profile_BeginBatch(engine.iniPath);
    bool ok = CheckAndAnnounceAddress(engine);
    engine.addressFailures = ok ? 0 : engine.addressFailures + 1;
    NoteAddressCheck(engine.addressFailures, engine.status, engine.currentAddress);
    if (!ok && !force) {
        if (engine.reportAddressFailure) {
            LogAndSignal("Unable to determine WAN IP.  Can't update.", LOG_NEW_RECORD, LOG_WARNING);
            ReportAddressFailureCause();
            engine.reportAddressFailure = 0;
        }
    } else if (Account_IsUsable(engine.userName, engine.password)) {
        engine.reportAddressFailure = 1;
        PassHold pass; // until the answer's records are in the file
        std::string hosts = HostsToUpdate(engine);
        if (hosts.size() >= kShortestHostList && IsValidIP(engine.currentAddress)) {
            hosts.pop_back();
            int code = IssueUpdate(engine.userName, engine.password, TALVEX_HOST_UPDATE, "/nic/update",
                                   hosts.data(), engine.currentAddress);
            if (code == kResultNoExchange) {
                // Nothing was updated, so nothing is recorded as an update;
                // the next timed pass tries again.
                LogAndSignal("Unable to reach the update server.  Will try again.", LOG_NEW_RECORD, LOG_WARNING);
            } else if (code > kResultNoExchange) {
                // "nochg" is the expected answer to a new configuration
                // (the 60-hour refresh of an unchanged address is judged
                // host by host by IssueUpdate).
                if (code == kResultNochg && engine.fresh)
                    code = kResultGood;
                outcome = ApplyResult(engine, code);
                NotePassAnswer(code, engine.status, engine.currentAddress, hosts.c_str());
                AnnounceResult(code);
            }
        }
    }
    Profile_EndBatch();
    engine.lastPassMs = GetTickCount64();
    Signal(kConfigPipeName, kConfigMsgPassDone);
    return outcome;
}
