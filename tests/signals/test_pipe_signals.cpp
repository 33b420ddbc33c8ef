// Pipe messages as a reader of the suite receives them: one message per
// connection, read whole in one read of a 128-byte buffer.
#include "test_env.h"
#include "session_pipe.h"
#include "signals.h"
#include "tallib.h"

#include <string>

namespace {

const char kTestPipe[] = "\\\\.\\pipe\\TalvexSignalTestPipe";

// A pipe server made as the suite's readers make theirs, reading one
// message on a thread of its own.
class OneMessageReader {
public:
    explicit OneMessageReader(const char *name, DWORD instances = PIPE_UNLIMITED_INSTANCES) : name_(name)
    {
        pipe_ = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                 instances, kPipeBufferSize, kPipeBufferSize, kPipeDefaultTimeoutMs, NULL);
    }
    ~OneMessageReader()
    {
        if (thread_) {
            // Unblock a reader that still waits for a writer.
            HANDLE client = CreateFileA(name_, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
            if (client != INVALID_HANDLE_VALUE)
                CloseHandle(client);
            WaitForSingleObject(thread_, 5000);
            CloseHandle(thread_);
        }
        if (pipe_ != INVALID_HANDLE_VALUE)
            CloseHandle(pipe_);
    }
    bool created() const { return pipe_ != INVALID_HANDLE_VALUE; }
    void Start() { thread_ = CreateThread(NULL, 0, Run, this, 0, NULL); }
    // The message, once the reader has it (within 5 s).
    bool Wait() { return thread_ && WaitForSingleObject(thread_, 5000) == WAIT_OBJECT_0; }

    std::string message;
    DWORD readError = 0;

private:
    static DWORD WINAPI Run(void *self)
    {
        OneMessageReader &r = *(OneMessageReader *)self;
        // The writer may already have connected, or written and gone.
        if (!ConnectNamedPipe(r.pipe_, NULL) && GetLastError() != ERROR_PIPE_CONNECTED &&
            GetLastError() != ERROR_NO_DATA) {
            r.readError = GetLastError();
            return 0;
        }
        char buffer[kPipeBufferSize];
        DWORD read = 0;
        if (ReadFile(r.pipe_, buffer, kPipeBufferSize, &read, NULL))
            r.message.assign(buffer, read);
        else
            r.readError = GetLastError();
        DisconnectNamedPipe(r.pipe_);
        return 0;
    }

    const char *name_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE thread_ = NULL;
};

} // namespace

class PipeSignals : public DataFolderTest {};

TEST_F(PipeSignals, SignalWritesTheExactBytesOfItsText)
{
    OneMessageReader reader(kTestPipe);
    ASSERT_TRUE(reader.created());
    reader.Start();
    EXPECT_EQ(1, Signal(kTestPipe, "D192.0.2.44"));
    ASSERT_TRUE(reader.Wait());
    EXPECT_EQ(0u, reader.readError);
    EXPECT_EQ("D192.0.2.44", reader.message);
}

TEST_F(PipeSignals, A127ByteMessageArrivesWholeAndALongerOneIsCutThere)
{
    std::string longest(127, 'x');
    longest[0] = '1';
    {
        OneMessageReader reader(kTestPipe);
        reader.Start();
        EXPECT_EQ(1, Signal(kTestPipe, longest.c_str()));
        ASSERT_TRUE(reader.Wait());
        EXPECT_EQ(longest, reader.message);
    }
    {
        OneMessageReader reader(kTestPipe);
        reader.Start();
        EXPECT_EQ(1, Signal(kTestPipe, (longest + "yyyyyy").c_str()));
        ASSERT_TRUE(reader.Wait());
        EXPECT_EQ(0u, reader.readError) << "the reader got the message in one read";
        EXPECT_EQ(longest, reader.message);
    }
}

TEST_F(PipeSignals, LogAndSignalLogsThenWritesAToTheConfigurationPipe)
{
    std::string pipe = OwnSessionPipe(kConfigPipeName);
    OneMessageReader reader(pipe.c_str());
    ASSERT_TRUE(reader.created());
    reader.Start();
    LogAndSignal("Updater: Process started.", 1, 0);
    ASSERT_TRUE(reader.Wait());
    EXPECT_EQ("A", reader.message);
    std::string log = ReadWholeFile(logFile);
    EXPECT_EQ("\tUpdater: Process started.", log.substr(21));
}

// With two users signed in each session has its own icon and utility: the
// suite's pipes carry the session's number, and the updater writes to the
// pipe of every session that has a reader, never to one machine-wide name
// that only the first reader of the machine would hold.
TEST_F(PipeSignals, EachSessionHasItsOwnPipeAndTheMachineWideNameHearsNothing)
{
    struct {
        DWORD session;
        const char *name;
    } const kNames[] = {
        {1, "\\\\.\\pipe\\TalvexUpdaterTrayPipe-1"},
        {2, "\\\\.\\pipe\\TalvexUpdaterTrayPipe-2"},
        {4294967295u, "\\\\.\\pipe\\TalvexUpdaterTrayPipe-4294967295"},
    };
    for (const auto &expected : kNames) {
        char name[kSessionPipeNameSize];
        ASSERT_TRUE(SessionPipeName(kTrayPipeName, expected.session, name, sizeof name));
        EXPECT_STREQ(expected.name, name);
    }
    char tooSmall[sizeof kTrayPipeName + 1];
    EXPECT_FALSE(SessionPipeName(kTrayPipeName, 1, tooSmall, sizeof tooSmall));
    EXPECT_STREQ("", tooSmall);

    std::string own = OwnSessionPipe(kTrayPipeName);
    OneMessageReader session(own.c_str()), machineWide(kTrayPipeName);
    ASSERT_TRUE(session.created() && machineWide.created());
    session.Start();
    machineWide.Start();
    // The write to every session is over when Signal returns.
    EXPECT_EQ(1, Signal(kTrayPipeName, "D192.0.2.7"));
    ASSERT_TRUE(session.Wait());
    EXPECT_EQ("D192.0.2.7", session.message);
    EXPECT_EQ("", machineWide.message) << "nobody writes to the machine-wide name";
}

TEST_F(PipeSignals, WithoutAReaderNothingWaits)
{
    DWORD start = GetTickCount();
    EXPECT_EQ(0, Signal(kTestPipe, "C"));
    LogAndSignal("nobody listens", 1, 1);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ("\tnobody listens", ReadWholeFile(logFile).substr(21)) << "the record is written all the same";
}

TEST_F(PipeSignals, ABusyReaderDropsTheMessageAtOnce)
{
    // The reader's one instance is taken by another writer.
    OneMessageReader reader(kTestPipe, 1);
    ASSERT_TRUE(reader.created());
    HANDLE other = CreateFileA(kTestPipe, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    DWORD start = GetTickCount();
    EXPECT_EQ(0, Signal(kTestPipe, "A"));
    EXPECT_LT(GetTickCount() - start, 1000u);
    CloseHandle(other);
}

TEST_F(PipeSignals, OnlyPipeNamesAreOpenedAndNullsAreRefused)
{
    WriteWholeFile(configFile, "[App]\r\nStatus=0\r\n");
    EXPECT_EQ(0, Signal(configFile.c_str(), "overwritten"));
    EXPECT_EQ("[App]\r\nStatus=0\r\n", ReadWholeFile(configFile));
    EXPECT_EQ(0, Signal(NULL, "A"));
    EXPECT_EQ(0, Signal(kTestPipe, NULL));
    // Names that leave the pipe namespace once the system normalises them.
    std::string dotted = std::string("\\\\.\\pipe\\..\\") + configFile;
    for (const std::string &name : {dotted, std::string("\\\\.\\pipe\\a/../../x"),
                                    std::string("\\\\.\\pipe\\sub\\name"), std::string("\\\\.\\pipe\\")}) {
        EXPECT_EQ(0, Signal(name.c_str(), "overwritten")) << name;
    }
    EXPECT_EQ("[App]\r\nStatus=0\r\n", ReadWholeFile(configFile));
}
