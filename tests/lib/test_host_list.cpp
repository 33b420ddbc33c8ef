// GetHostList against the local Talvex service: the messages a window of
// the caller receives, the result by failed step, and what a refused login
// does to the configuration and the updater.
#include "test_env.h"
#include "service_control.h"
#include "test_windows.h"
#include "signals.h"
#include "tallib.h"

#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Call {
    const char *user;
    const char *password;
    HWND window;
    int result;
};

DWORD WINAPI CallGetHostList(void *parameter)
{
    Call *call = (Call *)parameter;
    call->result = GetHostList(call->user, call->password, call->window);
    return 0;
}

class HostList : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        service::Reset();
        list = std::make_unique<TestWindow>("TALVEX_TEST_HOST_LIST", "");
        window = list->handle();
        ASSERT_NE((HWND)NULL, window);
    }
    void TearDown() override
    {
        list.reset();
        service::Reset(); // also reopens a listener a test closed
        DataFolderTest::TearDown();
    }

    // Calls GetHostList on a worker thread, as the configuration utility
    // does, while this thread pumps the window's messages.
    int Fetch(const char *user = "demo", const char *password = "demo-pass")
    {
        Call call = {user, password, window, -100};
        HANDLE worker = CreateThread(NULL, 0, CallGetHostList, &call, 0, NULL);
        EXPECT_NE((HANDLE)NULL, worker);
        if (!worker)
            return -100;
        DWORD deadline = GetTickCount() + 60000;
        while (MsgWaitForMultipleObjects(1, &worker, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG msg;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            if (GetTickCount() > deadline) {
                ADD_FAILURE() << "GetHostList did not return";
                break;
            }
        }
        CloseHandle(worker);
        return call.result;
    }

    // What the caller's window received, in order: "begin", each host
    // name, "end".
    std::vector<std::string> ListMessages()
    {
        std::vector<std::string> seen;
        for (const ReceivedMessage &m : TestWindow::messages) {
            if (m.window != window)
                continue;
            if (m.message == kMsgHostListBegin)
                seen.push_back("begin");
            else if (m.message == kMsgHostListEnd)
                seen.push_back("end");
            else if (m.message == kMsgHostListHost) {
                EXPECT_EQ(m.text.size(), (size_t)m.wParam) << "terminated at its length";
                seen.push_back(m.text);
            }
        }
        return seen;
    }

    std::unique_ptr<TestWindow> list;
    HWND window = NULL;
};

using Messages = std::vector<std::string>;

} // namespace

TEST_F(HostList, TheAccountsHostsArriveInReplyOrderWithoutWildcards)
{
    EXPECT_EQ(0, Fetch());
    // The demo account: dynamic:home,office / wildcard:*.wild / static:mail.
    EXPECT_EQ((Messages{"begin", "home.talvex-demo.test", "office.talvex-demo.test", "mail.talvex-demo.test", "end"}),
              ListMessages());
    EXPECT_EQ(1, GetAuthed());
    std::string requests = service::Requests("/text/gethostlist");
    EXPECT_NE(std::string::npos, requests.find("\"user\": \"demo\"")) << requests;
    EXPECT_NE(std::string::npos, requests.find("\"tls\": true")) << requests;
}

TEST_F(HostList, LinesArePrefixColonAndNamesEndedByALineFeed)
{
    service::Script("hostlist", "dynamic:a.example.test,*.w.example.test,b.example.test\n"
                                "static:c.example.test,,d.example.test\n"
                                ":hidden.example.test\n"
                                "plain.example.test\n"
                                "tail:unfinished.example.test");
    EXPECT_EQ(0, Fetch());
    EXPECT_EQ((Messages{"begin", "a.example.test", "b.example.test", "c.example.test", "d.example.test",
                        "plain.example.test", "end"}),
              ListMessages())
        << "no wildcard, no empty item, nothing from a line starting with ':', nothing after the last line feed";
}

TEST_F(HostList, CarriageReturnsOfCrLfLineEndsAreNotPartOfTheNames)
{
    service::Script("hostlist", "dynamic:a.example.test,b.example.test\r\nstatic:c.example.test\r\n");
    EXPECT_EQ(0, Fetch());
    EXPECT_EQ((Messages{"begin", "a.example.test", "b.example.test", "c.example.test", "end"}), ListMessages());
}

TEST_F(HostList, AnEmptyReplyIsAnEmptyListAndMarksTheAccountAuthenticated)
{
    service::Script("hostlist", "");
    EXPECT_EQ(0, Fetch());
    EXPECT_EQ((Messages{"begin", "end"}), ListMessages());
    EXPECT_EQ(1, GetAuthed());
}

TEST_F(HostList, BadauthAnywhereRefusesTheLoginAndStopsTheUpdater)
{
    SetAuthed(1);
    SetStatus(0);
    TestWindow updater(kUpdaterClass, kUpdaterTitle); // the user-process updater
    service::Script("hostlist", "dynamic:a.example.test\nnotbadauthreally:b.example.test\n");
    EXPECT_EQ(1, Fetch());
    EXPECT_EQ((Messages{"begin"}), ListMessages()) << "no host and no end message";
    EXPECT_EQ(2, GetStatus());
    EXPECT_EQ(0, GetAuthed());
    EXPECT_EQ(1, TestWindow::received.count);
    EXPECT_EQ(kCmdQuitProcess, TestWindow::received.code) << "the updater was told to quit";
}

TEST_F(HostList, AWrongPasswordIsRefusedByTheService)
{
    TestWindow updater(kUpdaterClass, kUpdaterTitle);
    EXPECT_EQ(1, Fetch("demo", "wrong-pass"));
    EXPECT_EQ((Messages{"begin"}), ListMessages());
    EXPECT_EQ(0, GetAuthed());
    EXPECT_EQ(2, GetStatus());
}

TEST_F(HostList, AServerThatIsDownGivesTheFailedStepAndChangesNothing)
{
    SetAuthed(1);
    SetStatus(0);
    std::string before = ReadWholeFile(configFile);
    service::Listen(443, false);
    // WinHttpConnect only records the server; a refused connection shows
    // at the send.
    EXPECT_EQ(6, Fetch());
    EXPECT_EQ((Messages{"begin"}), ListMessages());
    EXPECT_EQ(before, ReadWholeFile(configFile));
}

TEST_F(HostList, AServerThatClosesWithoutAnswerIsAFailureNotAnEmptyList)
{
    SetAuthed(0);
    std::string before = ReadWholeFile(configFile);
    service::Post("/control/script", R"({"endpoint": "hostlist", "mode": "close"})");
    EXPECT_EQ(7, Fetch());
    EXPECT_EQ((Messages{"begin"}), ListMessages()) << "no end message, as for every failure";
    EXPECT_EQ(before, ReadWholeFile(configFile)) << "the account is not marked authenticated";
}
