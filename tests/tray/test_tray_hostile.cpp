// The notification icon against local programs that misbehave towards its
// pipe: a client that connects and says nothing, and a program that took
// the pipe's name first. The icon keeps showing what the updater tells it.
#include "tray_fixture.h"

#include "hostile.h"
#include "signals.h"
#include "tallib.h"

#include <gtest/gtest.h>

namespace {

// The record of the icon's own session's pipe held by another program.
std::string NameTakenRecord()
{
    return "Tray Icon: the pipe " + OwnSessionPipe(kTrayPipeName) + " is held by another program";
}

class TrayHostile : public TrayTest {
protected:
    bool StartShown()
    {
        WriteWholeFile(configFile, "[App]\r\nUpgrade=0\r\nLastUpdate=12-06-2026 19:05:07\r\nLastIP=198.51.100.4\r\n");
        return StartTray("") && PumpUntil([] { return FakeShell::iconShown; });
    }
    std::string LastTip() const { return FakeShell::requests.empty() ? "" : FakeShell::requests.back().tip; }

    FakeShell shell;
};

} // namespace

TEST_F(TrayHostile, AClientHoldingThePipeKeepsNoAddressMessageFromTheIcon)
{
    ASSERT_TRUE(StartShown());
    HostileProgram holder("hold " + OwnSessionPipe(kTrayPipeName) + " 60");
    ASSERT_TRUE(holder.ready());

    size_t before = FakeShell::requests.size();
    Profile_WriteText(configFile.c_str(), "App", "LastIP", "198.51.100.77");
    // One try, as the engine writes: another instance takes it at once.
    EXPECT_EQ(1, Signal(kTrayPipeName, "D198.51.100.77"));
    ASSERT_TRUE(PumpUntil([&] { return FakeShell::requests.size() > before; }));
    EXPECT_NE(std::string::npos, LastTip().find("198.51.100.77")) << LastTip();
}

TEST_F(TrayHostile, ANameTakenBeforeTheIconStartsIsLoggedOnceAndTheIconRecoversItsPipe)
{
    auto squatter = std::make_unique<HostileProgram>("squat " + OwnSessionPipe(kTrayPipeName) + " 60");
    ASSERT_TRUE(squatter->ready());
    ASSERT_TRUE(StartShown()) << "the icon is shown without its pipe";
    ASSERT_TRUE(PumpUntil([&] { return CountOccurrences(ReadWholeFile(logFile), NameTakenRecord()) > 0; }))
        << ReadWholeFile(logFile);
    // A writer meanwhile is held no longer than its bound and goes on.
    DWORD start = GetTickCount();
    EXPECT_EQ(0, Signal(kTrayPipeName, "1"));
    EXPECT_LT(GetTickCount() - start, 2000u);

    // The program goes away: the icon takes the name at its next try and
    // hears the updater again; the record was written once.
    squatter.reset();
    size_t before = FakeShell::requests.size();
    // Written again until the icon shows it: an instance of the ended
    // program may still take a message while the system closes it.
    EXPECT_TRUE(PumpUntil(
        [&] {
            Signal(kTrayPipeName, "D198.51.100.4");
            return PumpUntil([&] { return FakeShell::requests.size() > before; }, 300);
        },
        15000));
    EXPECT_EQ(1, CountOccurrences(ReadWholeFile(logFile), NameTakenRecord())) << ReadWholeFile(logFile);
}
