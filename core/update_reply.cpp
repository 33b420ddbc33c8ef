// Reading the update server's reply, and encoding the request's values.
#include "update_reply.h"

#include "tallib.h"
#include "update_results.h"


#include <utility>

namespace {

// How a reply line with an answer word is recorded.
struct WordRule {
    int code;
    int logLevel;           // LOG_INFO, LOG_WARNING or LOG_ERROR
    const char *text;       // the log text after "word - "
    bool perHost;           // the record names the host
    bool setAddress, setUpdate;
};

// By result code: the rows of update_results.h from "good" on.
constexpr WordRule kRules[] = {
    {kResultGood, LOG_INFO, "Host updated.", true, true, true},
    {kResultNochg, LOG_WARNING, "Host was already up to date.", true, true, true},
    {kResultDnserr, LOG_WARNING, "Remote error.  Increasing timeout rate.", false, false, false},
    {kResult911, LOG_WARNING, "Remote technical difficulties.  Increasing timeout rate.", false, false, false},
    {kResultBadagent, LOG_ERROR, "An illegal agent was used.  Unable to connect to update server.", false, false,
     false},
    {kResultNotDonator, LOG_ERROR, "Not donator.", true, false, false},
    {kResultNotfqdn, LOG_ERROR, "Host is not formatted correctly.", true, false, false},
    {kResultNumhost, LOG_ERROR, "Too many hosts in this update request.", true, false, false},
    {kResultNohost, LOG_ERROR, "The host does not exist.", true, false, false},
    {kResultAbuse, LOG_ERROR, "Your account has been blocked for attempting too many updates.", true, false, true},
    {kResultBadauth, LOG_ERROR, "Authentication failed.", false, false, false},
};

static_assert(RowsInCodeOrder(kRules, kResultFirstAnswer), "one rule for every answer word, in code order");

const WordRule *FindRule(const std::string &word)
{
    const UpdateResult *result = FindAnswerWord(word);
    return result ? &kRules[result->code - kResultFirstAnswer] : nullptr;
}

// How much of a line that is not understood its record shows.
const size_t kLineExcerptChars = 40;

// A line that is the start of an answer word and no more: a reply that
// broke off in the middle of its last word ("goo").
bool IsCutWord(const std::string &line)
{
    if (line.empty() || line.find(' ') != std::string::npos)
        return false;
    for (int code = kResultFirstAnswer; code <= kResultLastAnswer; ++code) {
        std::string_view word = kUpdateResults[code].word;
        if (word.size() > line.size() && word.substr(0, line.size()) == line)
            return true;
    }
    return false;
}

bool IsPrintableWord(const std::string &word)
{
    if (word.empty())
        return false;
    for (unsigned char c : word)
        if (c <= ' ' || c >= 0x7f || c == '=' || c == '[' || c == ']')
            return false;
    return true;
}

} // namespace

// The non-empty pieces of text between separators.
static std::vector<std::string> SplitNonEmpty(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::vector<std::string> SplitHostList(const std::string &list) { return SplitNonEmpty(list, ','); }

std::vector<std::string> SplitReplyLines(const std::string &reply)
{
    std::vector<std::string> lines;
    for (std::string &line : SplitNonEmpty(reply, '\n')) {
        if (line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

int ReplyWordCode(const std::string &word)
{
    const UpdateResult *result = FindAnswerWord(word);
    return result ? result->code : kResultNoExchange;
}

namespace {

// A host the reply has no line for: the request named it, the server said
// nothing about it, so nothing is recorded and the pass is not a success.
HostAction Unanswered(size_t k, const std::string &host)
{
    HostAction action;
    action.host = k;
    action.logLevel = LOG_WARNING;
    action.logMessage = host + ": no answer - The update server did not answer for this host.";
    return action;
}

// A line whose word the protocol does not know, or cut in the middle of
// its word: whatever the server did for the host, the updater cannot tell.
// Nothing is recorded for it (it is sent again by the next pass), the
// record says what came back, and the pass backs off as for "911".
HostAction NotUnderstood(size_t k, const std::string &host, const std::string &line)
{
    HostAction action;
    action.host = k;
    action.logLevel = LOG_WARNING;
    std::string excerpt = "\"" + ReplyExcerpt(line, kLineExcerptChars) + "\"";
    if (IsCutWord(line))
        action.logMessage = host + ": not understood - The update server's answer broke off at " + excerpt + ".";
    else
        action.logMessage = host + ": not understood - The update server answered " + excerpt + ".";
    action.logMessage += "  Increasing timeout rate.";
    return action;
}

} // namespace

ReplyMeaning InterpretReply(const std::string &reply, const std::vector<std::string> &hosts,
                            const std::vector<bool> &unchanged)
{
    ReplyMeaning meaning;
    std::vector<std::string> lines = SplitReplyLines(reply);
    bool wholeRequestAnswered = false; // a word about the request, not a host
    bool hostNotUnderstood = false;
    size_t k = 0;
    for (; k < lines.size() && k < hosts.size(); ++k) {
        const std::string &line = lines[k];
        std::string word = line.substr(0, line.find(' '));
        const WordRule *rule = FindRule(word);
        if (!rule) {
            meaning.actions.push_back(NotUnderstood(k, hosts[k], line));
            hostNotUnderstood = true;
            continue;
        }

        meaning.understood = true;
        wholeRequestAnswered = wholeRequestAnswered || !rule->perHost;
        HostAction action;
        action.host = k;
        // The word goes into the configuration file: a word with control
        // characters or separators could break the file's lines.
        if (IsPrintableWord(word))
            action.statusWord = word;
        action.setAddress = rule->setAddress;
        action.setUpdate = rule->setUpdate;
        action.logLevel = rule->logLevel;
        action.logMessage = word + " - " + rule->text;
        if (rule->perHost)
            action.logMessage = hosts[k] + ": " + action.logMessage;
        meaning.actions.push_back(action);
        if (rule->code == kResultBadauth) { // the account was refused: stop reading
            meaning.result = kResultBadauth;
            return meaning;
        }
        bool expected = rule->code == kResultNochg && k < unchanged.size() && unchanged[k];
        int code = expected ? kResultGood : rule->code;
        if (meaning.result < code)
            meaning.result = code;
    }
    if (!meaning.understood) {
        // Not an answer of the protocol: nothing in it is about the hosts.
        meaning.actions.clear();
        meaning.result = kReplyNotUnderstood;
        return meaning;
    }
    if (k < hosts.size() && !wholeRequestAnswered) {
        for (; k < hosts.size(); ++k)
            meaning.actions.push_back(Unanswered(k, hosts[k]));
        hostNotUnderstood = true;
    }
    if (hostNotUnderstood && meaning.result < kReplyNotUnderstood)
        meaning.result = kReplyNotUnderstood;
    return meaning;
}

std::string ReplyExcerpt(const std::string &reply, size_t maxChars)
{
    std::string out;
    bool space = false;
    for (unsigned char c : reply) {
        if (c <= ' ' || c == 0x7f) {
            space = !out.empty();
            continue;
        }
        if (out.size() + (space ? 1 : 0) >= maxChars)
            return out + "...";
        if (space)
            out += ' ';
        space = false;
        out += c < 0x7f ? (char)c : '?';
    }
    return out;
}

std::string EncodeQueryValue(const std::string &text)
{
    std::string out;
    for (unsigned char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == ',';
        if (plain) {
            out += (char)c;
        } else {
            const char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}
