// Reading update replies and building the request's values: every reply
// word, line order, cut replies, and values that must not change the URL.
#include <gtest/gtest.h>

#include "tallib.h"
#include "update_reply.h"
#include "update_results.h"

#include <shellapi.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> kOneHost = {"a.example.test"};
const std::vector<std::string> kTwoHosts = {"a.example.test", "b.example.test"};

struct WordCase {
    const char *line;
    int result;
    int logLevel;
    const char *logMessage;
    bool setAddress, setUpdate;
    const char *status;
};

} // namespace

TEST(UpdateReply, EveryWordMapsToItsCodeRecordAndHostState)
{
    const WordCase cases[] = {
        {"good 203.0.113.7", kResultGood, LOG_INFO, "a.example.test: good - Host updated.", true, true, "good"},
        {"nochg 203.0.113.7", kResultNochg, LOG_WARNING, "a.example.test: nochg - Host was already up to date.",
         true, true, "nochg"},
        {"dnserr", kResultDnserr, LOG_WARNING, "dnserr - Remote error.  Increasing timeout rate.", false, false,
         "dnserr"},
        {"911", kResult911, LOG_WARNING, "911 - Remote technical difficulties.  Increasing timeout rate.", false,
         false, "911"},
        {"badagent", kResultBadagent, LOG_ERROR,
         "badagent - An illegal agent was used.  Unable to connect to update server.", false, false, "badagent"},
        {"!donator", kResultNotDonator, LOG_ERROR, "a.example.test: !donator - Not donator.", false, false,
         "!donator"},
        {"notfqdn", kResultNotfqdn, LOG_ERROR, "a.example.test: notfqdn - Host is not formatted correctly.", false,
         false, "notfqdn"},
        {"numhost", kResultNumhost, LOG_ERROR, "a.example.test: numhost - Too many hosts in this update request.",
         false, false, "numhost"},
        {"nohost", kResultNohost, LOG_ERROR, "a.example.test: nohost - The host does not exist.", false, false,
         "nohost"},
        {"abuse", kResultAbuse, LOG_ERROR,
         "a.example.test: abuse - Your account has been blocked for attempting too many updates.", false, true,
         "abuse"},
        {"badauth", kResultBadauth, LOG_ERROR, "badauth - Authentication failed.", false, false, "badauth"},
    };
    // A bare word is as much the host's answer as one with text after it.
    for (const WordCase &c : cases) {
        SCOPED_TRACE(c.line);
        ReplyMeaning meaning = InterpretReply(c.line, kOneHost);
        EXPECT_EQ(c.result, meaning.result);
        ASSERT_EQ(1u, meaning.actions.size());
        const HostAction &action = meaning.actions[0];
        EXPECT_EQ(0u, action.host);
        EXPECT_EQ(c.logLevel, action.logLevel);
        EXPECT_EQ(c.logMessage, action.logMessage);
        EXPECT_EQ(c.setAddress, action.setAddress);
        EXPECT_EQ(c.setUpdate, action.setUpdate);
        EXPECT_EQ(c.status, action.statusWord);
    }
}

TEST(UpdateReply, WorstAnswerWinsAndLinesFollowHostOrder)
{
    ReplyMeaning meaning = InterpretReply("notfqdn\ngood 203.0.113.7\n", kTwoHosts);
    EXPECT_EQ(kResultNotfqdn, meaning.result);
    ASSERT_EQ(2u, meaning.actions.size());
    EXPECT_EQ(1u, meaning.actions[1].host);
    EXPECT_TRUE(meaning.actions[1].setAddress);

    // Empty lines are skipped, CR LF ends a line as LF does: a server's
    // "badauth" is never read as an unknown word and taken for success.
    meaning = InterpretReply("\r\n\ngood 1.2.3.4\r\nbadauth\r\n", kTwoHosts);
    EXPECT_EQ(kResultBadauth, meaning.result);
    ASSERT_EQ(2u, meaning.actions.size());
    EXPECT_EQ("good", meaning.actions[0].statusWord);
    EXPECT_EQ((std::vector<std::string>{"dnserr", "x\ry"}), SplitReplyLines("dnserr\r\n\r\nx\ry\r"));
}

TEST(UpdateReply, BadauthStopsReadingAndUnknownWordsRecordNothing)
{
    ReplyMeaning meaning = InterpretReply("badauth\ngood 1.2.3.4", kTwoHosts);
    EXPECT_EQ(kResultBadauth, meaning.result);
    EXPECT_EQ(1u, meaning.actions.size());

    // No answer word at all (a maintenance page): the server's failure,
    // handled as "911", with nothing recorded for any host.
    for (const char *reply : {"whatever", "queued 1.2.3.4\n<html><body>Down</body></html>"}) {
        meaning = InterpretReply(reply, kTwoHosts);
        EXPECT_EQ(kReplyNotUnderstood, meaning.result) << reply;
        EXPECT_TRUE(meaning.actions.empty());
    }

    // Beside an understood answer, unknown words record nothing either; a
    // word that could break a line of the configuration file reaches the
    // log only as a bounded, printable excerpt.
    meaning = InterpretReply("queued 1.2.3.4\nx=y\x01 z\ngood 1.2.3.4", {"a", "b", "c"});
    EXPECT_EQ(kReplyNotUnderstood, meaning.result);
    ASSERT_EQ(3u, meaning.actions.size());
    EXPECT_TRUE(meaning.actions[0].statusWord.empty());
    EXPECT_EQ("b: not understood - The update server answered \"x=y z\".  Increasing timeout rate.",
              meaning.actions[1].logMessage);
}

// Each line of a two-host reply is judged on its own: the first host's
// answer stays whatever the second line holds.
TEST(UpdateReply, EveryLineIsJudgedAndALineNotUnderstoodBacksThePassOff)
{
    const struct {
        const char *story;
        const char *secondLine;
        int result;
        int logLevel;
        const char *logMessage;
        bool recorded; // "IP" and "Update" written for the second host
        const char *status;
    } cases[] = {
        {"unknown word", "badsys", kReplyNotUnderstood, LOG_WARNING,
         "b.example.test: not understood - The update server answered \"badsys\".  Increasing timeout rate.",
         false, ""},
        {"unknown word with text", "queued 198.51.100.72", kReplyNotUnderstood, LOG_WARNING,
         "b.example.test: not understood - The update server answered \"queued 198.51.100.72\".  Increasing "
         "timeout rate.",
         false, ""},
        {"cut word", "goo", kReplyNotUnderstood, LOG_WARNING,
         "b.example.test: not understood - The update server's answer broke off at \"goo\".  Increasing timeout "
         "rate.",
         false, ""},
        {"word in the wrong case", "GOOD 198.51.100.72", kReplyNotUnderstood, LOG_WARNING,
         "b.example.test: not understood - The update server answered \"GOOD 198.51.100.72\".  Increasing timeout "
         "rate.",
         false, ""},
        {"a long line, cut in its record", "x123456789x123456789x123456789x123456789x123456789",
         kReplyNotUnderstood, LOG_WARNING,
         "b.example.test: not understood - The update server answered "
         "\"x123456789x123456789x123456789x123456789...\".  Increasing timeout rate.",
         false, ""},
        {"known word with text", "good 198.51.100.72", kResultGood, LOG_INFO, "b.example.test: good - Host updated.",
         true, "good"},
        {"known word alone", "good", kResultGood, LOG_INFO, "b.example.test: good - Host updated.", true, "good"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.story);
        ReplyMeaning meaning = InterpretReply(std::string("good 198.51.100.72\n") + c.secondLine, kTwoHosts);
        EXPECT_EQ(c.result, meaning.result);
        ASSERT_EQ(2u, meaning.actions.size());
        EXPECT_TRUE(meaning.actions[0].setAddress && meaning.actions[0].setUpdate);
        const HostAction &second = meaning.actions[1];
        EXPECT_EQ(1u, second.host);
        EXPECT_EQ(c.logLevel, second.logLevel);
        EXPECT_EQ(c.logMessage, second.logMessage);
        EXPECT_EQ(c.recorded, second.setAddress);
        EXPECT_EQ(c.recorded, second.setUpdate);
        EXPECT_EQ(c.status, second.statusWord);
    }
    // A fatal answer stays the worst beside a line not understood.
    EXPECT_EQ(kResultNohost, InterpretReply("badsys\nnohost", kTwoHosts).result);
}

TEST(UpdateReply, HostsWithoutAnAnswerLineMakeAWarningUnlessTheWholeRequestWasAnswered)
{
    ReplyMeaning meaning = InterpretReply("good 203.0.113.7\n", kTwoHosts);
    EXPECT_EQ(kReplyNotUnderstood, meaning.result);
    ASSERT_EQ(2u, meaning.actions.size());
    EXPECT_TRUE(meaning.actions[0].setAddress);
    const HostAction &unanswered = meaning.actions[1];
    EXPECT_EQ(1u, unanswered.host);
    EXPECT_EQ(LOG_WARNING, unanswered.logLevel);
    EXPECT_EQ("b.example.test: no answer - The update server did not answer for this host.", unanswered.logMessage);
    EXPECT_FALSE(unanswered.setAddress || unanswered.setUpdate || !unanswered.statusWord.empty());

    // A fatal answer stays fatal; a word about the whole request answers all.
    EXPECT_EQ(kResultNohost, InterpretReply("nohost", kTwoHosts).result);
    EXPECT_EQ(kResultDnserr, InterpretReply("dnserr", kTwoHosts).result);
    EXPECT_EQ(1u, InterpretReply("dnserr", kTwoHosts).actions.size());
}

TEST(UpdateReply, NochgOfAHostSentWithTheAddressItHasIsASuccessHostByHost)
{
    const struct {
        std::vector<bool> unchanged;
        int result;
    } cases[] = {
        {{false, true}, kResultGood},  // a changed host updated, a 60-hour refresh confirmed
        {{true, false}, kResultNochg}, // the changed host was not updated
        {{}, kResultNochg},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.result, InterpretReply("good 1.2.3.4\nnochg 1.2.3.4", kTwoHosts, c.unchanged).result);
}

TEST(UpdateReply, ExcerptOfAReplyFitsOneLogRecord)
{
    EXPECT_EQ("<html> <title>Down for maintenance</title>",
              ReplyExcerpt("\r\n<html>\r\n\t<title>Down for maintenance</title>\r\n", 80));
    EXPECT_EQ("caf? au...", ReplyExcerpt("caf\xe9 au lait", 8));
}

TEST(UpdateReply, LinesBeyondTheLastHostAnswerNoHost)
{
    ReplyMeaning meaning = InterpretReply("good 1.2.3.4\nnohost\nabuse\n", {"only.example.test"});
    EXPECT_EQ(kResultGood, meaning.result);
    ASSERT_EQ(1u, meaning.actions.size());
    EXPECT_EQ(0u, meaning.actions[0].host);
}

TEST(UpdateReply, HostListSplitsAtCommasSkippingEmptyNames)
{
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), SplitHostList(",a,,b,"));
    EXPECT_TRUE(SplitHostList("").empty());
}

TEST(UpdateReply, QueryValuesCannotChangeTheRequest)
{
    EXPECT_EQ("a.example.test,b-c.example.test", EncodeQueryValue("a.example.test,b-c.example.test"));
    EXPECT_EQ("a%26myip%3D1.2.3.4%23x%3Fy%20z%0D%0A%25", EncodeQueryValue("a&myip=1.2.3.4#x?y z\r\n%"));
}

// One row per result code: the word the reply reader knows it by, the
// level GetRCLOE stores and the balloon the icon shows, as users and the
// service know them.
TEST(UpdateResults, EachCodeHasItsWordLevelAndBalloon)
{
    const char kOther[] = "A configuration error has occured.\nPlease reconfigure the Updater.";
    const struct {
        int code;
        const char *word;
        int level, icon;
        const char *balloonStart;
    } rows[] = {
        {kResultNoExchange, "no answer", kStatusGood, NIIF_INFO, kOther},
        {kResultGood, "good", kStatusGood, NIIF_INFO, "Talvex returned GOOD.\nYour IP address is now synchronized"},
        {kResultNochg, "nochg", kStatusWarning, NIIF_WARNING, "Talvex returned NOCHNG.\nIf you receive too many"},
        {kResultDnserr, "dnserr", kStatusWarning, NIIF_INFO, kOther},
        {kResult911, "911", kStatusWarning, NIIF_INFO, kOther},
        {kResultBadagent, "badagent", kStatusWarning, NIIF_INFO, kOther},
        {kResultNotDonator, "!donator", kStatusCritical, NIIF_INFO, kOther},
        {kResultNotfqdn, "notfqdn", kStatusCritical, NIIF_ERROR, "Talvex returned NOTFQDN.\nOne or more"},
        {kResultNumhost, "numhost", kStatusCritical, NIIF_ERROR, "Talvex returned NUMHOST.\nYou must remove"},
        {kResultNohost, "nohost", kStatusCritical, NIIF_INFO, kOther},
        {kResultAbuse, "abuse", kStatusCritical, NIIF_ERROR, "Talvex returned ABUSE.\nYour account was blocked"},
        {kResultBadauth, "badauth", kStatusCritical, NIIF_ERROR, "Talvex returned BADAUTH.\nEither your username"},
    };
    ASSERT_EQ(sizeof rows / sizeof rows[0], sizeof kUpdateResults / sizeof kUpdateResults[0]);
    int expectedCode = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.word);
        EXPECT_EQ(expectedCode++, row.code) << "the codes are the protocol's numbers";
        ASSERT_NE(nullptr, FindUpdateResult(row.code));
        EXPECT_STREQ(row.word, FindUpdateResult(row.code)->word);
        EXPECT_EQ(row.code, ReplyWordCode(row.word)) << "\"no answer\" is no word of the server's";
        EXPECT_EQ(row.level, GetRCLOE((unsigned)row.code));
        char text[256] = "";
        int icon = -1;
        GetBalloonMessage((unsigned)row.code, text, sizeof text, &icon);
        EXPECT_EQ(row.icon, icon);
        EXPECT_EQ(0, strncmp(text, row.balloonStart, strlen(row.balloonStart))) << text;
    }
    // Beyond the table: the worst level, the general balloon, no word.
    for (unsigned code : {12u, 136u, 0xFFFFFFFFu}) {
        EXPECT_EQ(kStatusCritical, GetRCLOE(code)) << code;
        EXPECT_EQ(nullptr, FindUpdateResult(code)) << code;
        char text[256] = "";
        GetBalloonMessage(code, text, sizeof text, NULL);
        EXPECT_STREQ(kOther, text) << code;
    }
    EXPECT_EQ(kResultNoExchange, ReplyWordCode("GOOD")) << "words are compared exactly";
    EXPECT_EQ(kResultNoExchange, ReplyWordCode(std::string("good\0", 5)));
}

TEST(UpdateReply, CredentialsEncodeInBase64)
{
    EXPECT_EQ(9, b64buffer("abcde", 1));
    EXPECT_EQ(4, b64buffer("abcde", 0));
    EXPECT_EQ(0, b64buffer("", 1));

    const char *texts[] = {"a", "ab", "abc", "user:secret pass"};
    const char *encoded[] = {"YQ==", "YWI=", "YWJj", "dXNlcjpzZWNyZXQgcGFzcw=="};
    for (int i = 0; i < 4; ++i) {
        char out[64] = {};
        b64encode(texts[i], out);
        EXPECT_STREQ(encoded[i], out);
        char back[64] = {};
        EXPECT_EQ(1, b64decode(out, back));
        EXPECT_STREQ(texts[i], back);
    }

    char out[16] = {};
    b64encode("caf\xe9", out);
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, b64decode("YWJjZG", out)) << "length not a multiple of 4";
    EXPECT_EQ(0, b64decode("YQ=a", out)) << "text after padding";
    EXPECT_EQ(0, b64decode("YQ==YQ==", out)) << "padding before the end";
    EXPECT_EQ(0, b64decode("Y!==", out)) << "not an alphabet character";
    EXPECT_EQ(0, b64decode("/w==", out)) << "a byte above 0x7f";
}
