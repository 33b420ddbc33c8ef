// The update cycle shared by both updaters: one pass finds the public
// address, decides which selected hosts need an update, sends one request
// for all of them and turns the answer into status, interval and signals.
#pragma once

#include "config_keys.h"

#include <windows.h>

// Process-wide state of an updater, owned by its host program.
struct EngineState {
    char userName[64] = "";
    char password[256] = "";
    char currentAddress[20] = "";    // only ever a valid address, or empty
    int status = kStatusGood;        // a TalStatus: good, warning, critical, not configured
    int fresh = 0;                   // a new configuration: "nochg" counts as success
    unsigned intervalMinutes = 10;   // the process host's polling period
    int loadIcon = 0;
    int reportAddressFailure = 1;    // the next address-check failure is logged
    unsigned addressFailures = 0;    // passes in a row whose address check failed
    char iniPath[MAX_PATH] = "";
    ULONGLONG lastPassMs = 0;        // GetTickCount64 when the last pass ended
};

// How a pass ended, for its host to act on.
enum class PassOutcome {
    Continue, // the next pass at the polling interval (or a quick retry)
    BackOff,  // the server asked to slow down: the interval was doubled
    Stop,     // a fatal answer: the updater stops, and the stored status holds its timed passes
};

const unsigned kShortestIntervalMinutes = 10;
const unsigned kLongestIntervalMinutes = 160;

// How long a host waits after a pass before the next timed one: soon after
// a failed address check (the network may just be coming up), else the
// polling interval with its back-off.
DWORD NextPassDelayMs(const EngineState &engine);
// When the pass after a resume from sleep is due, in GetTickCount64 time
// (which counts the time asleep): shortly after the wake-up, or, while the
// server's back-off is in force, when it ends.
ULONGLONG ResumePassDueMs(const EngineState &engine, ULONGLONG nowMs);

void BuildEnginePaths(EngineState &engine);
// Reads the [App] keys the updaters act on, the stored status included.
void LoadEngineSettings(EngineState &engine);
// The same without the status, which commands 133 to 136 may hold in memory
// only: the account and the options. True when the account changed.
bool LoadEngineAccount(EngineState &engine);
// Asks the address-check page for the public address, commits the pass's
// collected writes and tells the icon what was found ("D" and the address,
// empty when none); keeps a valid address as the current one. False when
// no valid address came.
bool CheckAndAnnounceAddress(EngineState &engine);
PassOutcome RunUpdateCycle(EngineState &engine, bool force);
