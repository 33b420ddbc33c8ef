// What starts a pass besides the timer, and what the Event Log is told:
// decided from events and times the test gives, as the hosts give theirs.
#include <gtest/gtest.h>

#include "admin_events.h"
#include "config_keys.h"
#include "event_log.h"
#include "network_change.h"
#include "update_results.h"

namespace {

// One network event source and clock for a story.
struct NetworkStory {
    NetworkChangeGate gate;
    bool critical = false, backedOff = false;
    void Events(std::initializer_list<ULONGLONG> times)
    {
        for (ULONGLONG t : times)
            NoteNetworkChange(gate, t);
    }
    NetworkVerdict At(ULONGLONG t) { return DecideNetworkPass(gate, t, critical, backedOff); }
};

} // namespace

TEST(NetworkChange, ABurstGivesOnePassOnceQuietAndASecondBurstWaitsOutTheMinute)
{
    NetworkStory story;
    EXPECT_EQ(INFINITE, NetworkPassDueInMs(story.gate, 0));
    story.Events({1000, 1500, 3000}); // an adapter coming up: several events
    EXPECT_EQ(kNetworkQuietMs, NetworkPassDueInMs(story.gate, 3000));
    EXPECT_EQ(NetworkVerdict::Wait, story.At(7999));
    EXPECT_EQ(NetworkVerdict::Run, story.At(8000));
    EXPECT_EQ(NetworkVerdict::Wait, story.At(9000)); // one pass for the burst

    story.Events({20000, 21000}); // quiet at 26 s, but the last pass ran at 8 s
    EXPECT_EQ(68000u - 26000u, NetworkPassDueInMs(story.gate, 26000));
    EXPECT_EQ(NetworkVerdict::Wait, story.At(26000));
    EXPECT_EQ(NetworkVerdict::Run, story.At(68000));
    EXPECT_EQ(INFINITE, NetworkPassDueInMs(story.gate, 68000));
}

TEST(NetworkChange, ABackOffAndACriticalStatusKeepTheTimerAsTheOnlyTrigger)
{
    NetworkStory story;
    story.backedOff = true; // "911": the interval doubled
    story.Events({0});
    EXPECT_EQ(NetworkVerdict::Drop, story.At(5000));
    EXPECT_EQ(NetworkVerdict::Wait, story.At(6000)); // dropped, not kept for later

    story.backedOff = false;
    story.critical = true;
    story.Events({10000});
    EXPECT_EQ(NetworkVerdict::Drop, story.At(15000));

    story.critical = false;
    story.Events({20000}); // dropped changes did not use up the minute
    EXPECT_EQ(NetworkVerdict::Run, story.At(25000));
}

namespace {

std::vector<DWORD> Ids(const std::vector<AdminEvent> &events)
{
    std::vector<DWORD> ids;
    for (const AdminEvent &e : events)
        ids.push_back(e.id);
    return ids;
}

} // namespace

TEST(AdminEvents, EachOutcomeIsReportedWhenItChangesNeverAtEveryPass)
{
    AdminEventsState state;
    const char *hosts = "home.talvex.test,work.talvex.test";
    struct Pass {
        int code, level;
        const char *address;
        std::vector<DWORD> events;
    };
    const Pass passes[] = {
        {kResultGood, kStatusGood, "203.0.113.7", {kEventHostsUpdated}},
        {kResultGood, kStatusGood, "203.0.113.7", {}}, // the 60-hour refresh: nothing new
        {kResult911, kStatusWarning, "203.0.113.8", {kEventUpdatingFails}},
        {kResultDnserr, kStatusWarning, "203.0.113.8", {}}, // still failing: said once
        {kResultGood, kStatusGood, "203.0.113.8", {kEventUpdatingWorks, kEventHostsUpdated}},
        {kResultBadauth, kStatusCritical, "203.0.113.8", {kEventCriticalStop}},
    };
    for (const Pass &p : passes)
        EXPECT_EQ(p.events, Ids(DecideAnswerEvents(state, p.code, p.level, p.address, hosts))) << p.code;

    std::vector<AdminEvent> stop = DecideAnswerEvents(state, kResultBadauth, kStatusCritical, "203.0.113.8", hosts);
    ASSERT_EQ(1u, stop.size());
    EXPECT_EQ("badauth", stop[0].first);
    EXPECT_EQ(hosts, stop[0].second);
}

TEST(AdminEvents, AnAddressCheckFailingForAnHourIsReportedOnceAndItsRecoveryOnce)
{
    AdminEventsState state;
    const ULONGLONG minute = 60000;
    EXPECT_TRUE(DecideAddressEvents(state, 1, 5 * minute, "cause").empty());
    EXPECT_TRUE(DecideAddressEvents(state, 6, 64 * minute, "cause").empty());
    EXPECT_EQ(std::vector<DWORD>{kEventAddressCheckFails}, Ids(DecideAddressEvents(state, 7, 65 * minute, "cause")));
    EXPECT_TRUE(DecideAddressEvents(state, 8, 75 * minute, "cause").empty());
    EXPECT_EQ(std::vector<DWORD>{kEventAddressCheckWorks},
              Ids(DecideAddressEvents(state, 0, 80 * minute, "203.0.113.7")));
    EXPECT_TRUE(DecideAddressEvents(state, 0, 90 * minute, "203.0.113.7").empty());
    // A short outage later says nothing.
    EXPECT_TRUE(DecideAddressEvents(state, 1, 100 * minute, "cause").empty());
    EXPECT_TRUE(DecideAddressEvents(state, 0, 110 * minute, "203.0.113.7").empty());
}
