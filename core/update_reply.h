// Reading the update server's reply: pure functions, text in, actions out,
// so they can be tested and fuzzed without a network.
#pragma once

#include "update_results.h"

#include <string>
#include <vector>

const int kNoLogRecord = -1;

// What one reply line asks to record for its host.
struct HostAction {
    size_t host = 0;             // index into the request's host names
    std::string statusWord;      // written as the host's "Status" when not empty
    bool setAddress = false;     // "IP" = the request's address
    bool setUpdate = false;      // "Update" = the request's timestamp
    int logLevel = kNoLogRecord; // else LOG_INFO, LOG_WARNING or LOG_ERROR
    std::string logMessage;
};

struct ReplyMeaning {
    int result = kResultGood;    // the worst code of the reply, kResultGood to kResultBadauth
    std::vector<HostAction> actions;
    bool understood = false;     // at least one line held an answer word
};

// The code of a request that got no answer word: a reply in which no word is
// understood (a maintenance page, an error page of a proxy, an empty or
// cut-off body, no reply at all), or hosts left without an answer line:
// "911", the server's own word for being unable to serve the request, so it
// is backed off from in the same way.
const int kReplyNotUnderstood = kResult911;

// Host names of a comma-separated list, empty names skipped.
std::vector<std::string> SplitHostList(const std::string &list);

// Non-empty lines of a reply split at "\n", each without a "\r" that ends
// it, so that a server ending its lines with CR LF is read alike.
std::vector<std::string> SplitReplyLines(const std::string &reply);

// Result code of a reply word, compared exactly (update_results.h);
// kResultNoExchange for a word the protocol does not know.
int ReplyWordCode(const std::string &word);

// Line k answers host k; lines beyond the last host answer no host and are
// not interpreted. "badauth" ends the reading at once. A reply in which no
// line holds an answer word records nothing and reads as
// kReplyNotUnderstood. A line whose word is not the protocol's (cut in the
// middle of its word included) leaves its host not understood: a warning
// naming the host with an excerpt of the line, nothing recorded for it, and
// the reply at least kReplyNotUnderstood. Hosts left without a line are
// logged alike, unless a word about the whole request ("dnserr", "911",
// "badagent", "badauth") answered them all.
// unchanged[k] marks host k as sent with the address the server already has
// (its 60-hour refresh): its "nochg" is the expected answer, a success.
ReplyMeaning InterpretReply(const std::string &reply, const std::vector<std::string> &hosts,
                            const std::vector<bool> &unchanged = {});

// The first words of a reply for a log record: at most maxChars characters,
// every run of white space or control characters made one space, anything
// outside printable ASCII a "?", and "..." when more followed.
std::string ReplyExcerpt(const std::string &reply, size_t maxChars);

// Percent-encodes every byte outside letters, digits, "-._~" and the commas
// that separate host names, so no name or address can change the request.
std::string EncodeQueryValue(const std::string &text);
