// A prepared configuration: a config.talvex made with the configuration
// utility on one machine, given to setup.exe with /CONFIG=<file> so that
// many machines are installed with the same account, hosts and options.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct PreparedConfig {
    // The [App] keys taken, as the file spells them: the account and the
    // options. What describes the preparing machine's own updates (status,
    // last address and time, proxy mode, each host's records) is not taken:
    // the new machine's first pass finds its own.
    std::vector<std::pair<std::string, std::string>> app;
    std::vector<std::string> hosts; // the selection, in order
};

// Reads the text of a prepared configuration. Empty when it is one the
// utility could have written (sections and keys only, an account usable
// for updates, a host table of at least one host); otherwise why not, in
// words, with the line where that applies.
std::string ReadPreparedConfig(const std::string &text, PreparedConfig &config);

// The whole file, read once for ReadPreparedConfig: the name itself, never
// what a link at it leads to, with nobody writing it meanwhile; a warning
// line, when `warn`, if users may change it. Empty with `error` set when it is
// missing, a link or a second name, unreadable or too large to be a
// configuration.
std::string ReadPreparedFile(const std::string &path, std::string &error, bool warn = true);

// The helper's commands for it (setup_helper_main.cpp): check before
// anything is installed, keeping the bytes checked in `checked` (a new
// file); then write those into the installed configuration through
// TalLib's commit.
bool CheckPreparedConfig(const std::string &path, const std::string &checked);
bool ApplyPreparedConfig(const std::string &checked, const std::string &talLib);
