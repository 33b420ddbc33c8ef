// The update request: one authenticated HTTPS GET for a list of hosts, and
// the per-host results it records.
#include "tallib.h"
#include "http_exchange.h"
#include "internal.h"
#include "no_throw.h"
#include "update_reply.h"
#include "update_results.h"
#include "address_text.h"

#include <string>

namespace {

// The reply is read from a buffer of this size; a longer reply is cut and
// the lines within it are still read.
const size_t kReplyBufferSize = 1024;
// How much of a reply that is not understood the log shows.
const size_t kExcerptChars = 80;

std::string BuildTarget(const char *path, const std::string &hosts, const char *address)
{
    return std::string(path) + "?hostname=" + EncodeQueryValue(hosts) + "&myip=" + EncodeQueryValue(address) +
           "&wildcard=NOCHG&mx=NOCHG&backmx=NOCHG";
}

void Record(const HostAction &action, const std::string &host, const char *address, const char *timestamp)
{
    if (!action.statusWord.empty())
        Host_SetStatus(host.c_str(), action.statusWord.c_str());
    if (action.setUpdate)
        Host_SetUpdate(host.c_str(), timestamp);
    if (action.setAddress)
        Host_SetIP(host.c_str(), address);
    if (action.logLevel != kNoLogRecord)
        LogToFile(action.logMessage.c_str(), LOG_NEW_RECORD, (unsigned)action.logLevel);
}

// What came back when the reply holds no answer word (a maintenance page,
// a proxy's error page, an empty or cut-off body, no reply at all): the
// server's failure, whatever its HTTP status. The record says what came
// back, for the user and for support.
std::string NoAnswerWordText(const HttpGetResult &reply, bool cutOff)
{
    if (reply.step == HttpReceiveFailed)
        return "Update server sent no answer: " + DescribeFailure(reply) + ".  Increasing timeout rate.";
    std::string status = "Update server answered HTTP " + std::to_string(reply.status);
    std::string excerpt = "\"" + ReplyExcerpt(reply.body, kExcerptChars) + "\"";
    if (cutOff)
        return status + " and broke off the answer after " + excerpt + ".  Increasing timeout rate.";
    return status + " without an answer word: " + excerpt + ".  Increasing timeout rate.";
}

// True when the reply stopped before its end: the connection dropped or the
// reading time ran out. A reply cut only at the reply buffer's size is read
// as far as it goes.
bool CutOff(const HttpGetResult &reply, size_t maxBody)
{
    if (reply.step != HttpOk)
        return true;
    return !reply.whole && !(reply.cut && reply.body.size() >= maxBody);
}

// For each host, whether the configuration already holds the address being
// sent: such a host was sent only for its 60-hour refresh.
std::vector<bool> SentUnchanged(const std::vector<std::string> &names, const char *address)
{
    std::vector<bool> unchanged;
    for (const std::string &name : names) {
        char stored[20] = "";
        bool same = Host_GetIP(name.c_str(), stored, sizeof stored) > 0 &&
                    lstrcmpiA(AddressCore(stored).c_str(), address) == 0;
        unchanged.push_back(same);
    }
    return unchanged;
}

// IssueUpdate's work; it may throw when an allocation fails.
int SendUpdate(const char *userName, const char *password, const char *server, const char *path, const char *hosts,
               const char *address)
{
    if (!userName || !password || !server || !path || !hosts || !address)
        return kResultNoExchange;
    const std::string hostList = hosts;
    std::vector<std::string> names = SplitHostList(hostList);
    std::vector<bool> unchanged = SentUnchanged(names, address);

    HttpGetRequest request;
    request.host = server;
    request.port = INTERNET_DEFAULT_HTTPS_PORT;
    std::string target = BuildTarget(path, hostList, address);
    request.path = target.c_str();
    request.secure = true;
    request.user = userName;
    request.password = password;
    request.maxBody = kReplyBufferSize - 1;
    HttpGetResult reply = HttpGet(request);
    if (reply.step != HttpOk && reply.step != HttpReceiveFailed) {
        // No exchange took place. The updater logs its own fixed warning;
        // this record says why, for the user and for support.
        std::string why = "Update request not sent: " + DescribeFailure(reply) + ".";
        LogToFile(why.c_str(), LOG_NEW_RECORD, LOG_INFO);
        return kResultNoExchange;
    }

    // The request went out: from here on the server may have acted on it,
    // so every outcome is logged and judged, an empty one included.
    char timestamp[32] = "";
    GetTimestamp(timestamp, sizeof timestamp);
    LogToFile("DNS update issued: ", LOG_NEW_RECORD, LOG_INFO);
    std::string details = "User: " + std::string(userName) + ", Hosts: " + hostList + ", IP: " + address;
    LogToFile(details.c_str(), LOG_APPEND, LOG_INFO);

    bool cutOff = CutOff(reply, request.maxBody);
    ReplyMeaning meaning;
    if (!cutOff)
        meaning = InterpretReply(reply.body, names, unchanged);
    if (cutOff || !meaning.understood) {
        LogToFile(NoAnswerWordText(reply, cutOff).c_str(), LOG_NEW_RECORD, LOG_WARNING);
        return kReplyNotUnderstood;
    }
    for (const HostAction &action : meaning.actions)
        Record(action, names[action.host], address, timestamp);
    return meaning.result;
}

} // namespace

// A failed allocation reads as no exchange, the code that changes nothing.
int TALAPI IssueUpdate(const char *userName, const char *password, const char *server, const char *path,
                       char *hosts, const char *address)
{
    return NoThrow(kResultNoExchange, [&] { return SendUpdate(userName, password, server, path, hosts, address); });
}

// A code no table knows is taken for the worst.
int TALAPI GetRCLOE(unsigned code)
{
    const UpdateResult *result = FindUpdateResult(code);
    return result ? result->level : kStatusCritical;
}
