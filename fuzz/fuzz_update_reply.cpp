// The update reply reader: any reply, any host list. Every action names a
// requested host, the result is a known code, and the query encoding lets
// nothing through that could change the request.
#include "update_reply.h"
#include "fuzz_check.h"

#include <ctype.h>
#include <stdint.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string reply, hostList;
    SplitInput(data, size, reply, hostList);
    std::vector<std::string> hosts = SplitHostList(hostList);
    ReplyMeaning meaning = InterpretReply(reply, hosts);
    FUZZ_CHECK(meaning.result >= -1 && meaning.result <= 11);
    for (const HostAction &action : meaning.actions) {
        FUZZ_CHECK(action.host < hosts.size());
        FUZZ_CHECK(action.logLevel >= -1 && action.logLevel <= 2);
        for (char c : action.statusWord)
            FUZZ_CHECK(c != '\r' && c != '\n' && c != '\0');
    }
    for (const std::string &line : SplitReplyLines(reply))
        FUZZ_CHECK(!line.empty() && line.find('\n') == std::string::npos);
    ReplyWordCode(reply);

    for (char c : EncodeQueryValue(hostList))
        FUZZ_CHECK(isalnum((unsigned char)c) || strchr("-._~,%", c) != NULL);
    return 0;
}
