// The protocol tree from the external dissector: the packet's text dump, the parser of the
// dissector's output, collecting a child's output, and the whole road with the real
// converter and dissector (one-packet capture file, tree, no temporary file left).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <ctime>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "external_dissector.h"
#include "frame_builder.h"
#include "protocol_tree.h"
#include "quarvel.h"

using namespace AnalyzerProject;
using testsupport::Bytes;

namespace {

// 2004-05-01 12:34:56 UTC.
constexpr int32_t kMay2004 = 1083414896;

QvrPacket PacketOf(Bytes& frame, int32_t sec = kMay2004, int32_t usec = 7)
{
    QvrPacket p{};
    p.ts_sec = sec;
    p.ts_usec = usec;
    p.data = frame.empty() ? nullptr : frame.data();
    p.length = static_cast<uint32_t>(frame.size());
    return p;
}

Bytes Counting(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i);
    return b;
}

Bytes SipFrame()
{
    return testsupport::udpFrame({10, 0, 0, 1}, 5060, {10, 0, 0, 2}, 5060,
                                 testsupport::textBytes("INVITE sip:bob@example.com SIP/2.0\r\n"
                                                        "Via: SIP/2.0/UDP 10.0.0.1:5060;branch=z9hG4bK776asdhds\r\n"
                                                        "From: <sip:alice@example.com>;tag=1928301774\r\n"
                                                        "To: <sip:bob@example.com>\r\n"
                                                        "Call-ID: a84b4c76e66710@10.0.0.1\r\n"
                                                        "CSeq: 314159 INVITE\r\n"
                                                        "Max-Forwards: 70\r\n"
                                                        "Content-Length: 0\r\n\r\n"));
}

// The tree as text: one line per node, two blanks of indentation per level.
void Render(const ProtocolTree& nodes, int depth, std::string& out)
{
    for (const ProtocolTreeNode& n : nodes) {
        out += std::string(2 * depth, ' ') + n.text + "\n";
        Render(n.children, depth + 1, out);
    }
}

std::string Render(const ProtocolTree& tree)
{
    std::string out;
    Render(tree, 0, out);
    return out;
}

std::string WithLineEnds(const std::string& lf, bool crlf)
{
    if (!crlf)
        return lf;
    std::string out;
    for (char c : lf) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name))
    {
        old_ = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Text dump

class PacketTextDumpTest : public ::testing::Test {
protected:
    void SetUp() override { tzset(); }
    void TearDown() override
    {
        tz.reset();
        tzset();
    }
    std::unique_ptr<ScopedEnv> tz = std::make_unique<ScopedEnv>("TZ", "UTC");
};

TEST_F(PacketTextDumpTest, TwentyByteFrameGivesTimeLineAndTwoByteLines)
{
    Bytes frame = Counting(20);
    EXPECT_EQ(PacketTextDump(PacketOf(frame)),
              "2004/05/01 12:34:56.000007 \n"
              "0000 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f ................\n"
              "0010 10 11 12 13 ....\n");
}

TEST_F(PacketTextDumpTest, LinesFollowTheFrameLength)
{
    struct Case {
        size_t length;
        std::vector<std::string> byteLines; // after the time line
    };
    const std::string full = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f ................";
    const Case cases[] = {
        {0, {}},
        {1, {"0000 00 ."}},
        {16, {"0000 " + full}},
        {17, {"0000 " + full, "0010 10 ."}},
        {32, {"0000 " + full, "0010 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f ................"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes frame = Counting(c.length);
        std::string expected = "2004/05/01 12:34:56.000007 \n";
        for (const std::string& line : c.byteLines)
            expected += line + "\n";
        EXPECT_EQ(PacketTextDump(PacketOf(frame)), expected);
    }

    // Offsets past 0xffff take more digits; bytes are lower-case hexadecimal.
    Bytes big(0x10001, 0xAB);
    const std::string dump = PacketTextDump(PacketOf(big));
    EXPECT_NE(dump.find("\nfff0 ab ab "), std::string::npos);
    const std::string last = "\n10000 ab .\n";
    ASSERT_GT(dump.size(), last.size());
    EXPECT_EQ(dump.substr(dump.size() - last.size()), last);
}

TEST_F(PacketTextDumpTest, TimeLineIsLocalTimeWithSixDigitMicroseconds)
{
    struct Case {
        int32_t sec;
        int32_t usec;
        const char* line;
    };
    const Case cases[] = {
        {kMay2004, 7, "2004/05/01 12:34:56.000007 \n"},
        {0, 0, "1970/01/01 00:00:00.000000 \n"},
        {kMay2004 + 3600, 999999, "2004/05/01 13:34:56.999999 \n"},
    };
    for (const Case& c : cases) {
        Bytes none;
        EXPECT_EQ(PacketTextDump(PacketOf(none, c.sec, c.usec)), c.line);
    }

    // Local time, not UTC.
    tz.reset();
    tz = std::make_unique<ScopedEnv>("TZ", "XST-2");
    tzset();
    Bytes none;
    EXPECT_EQ(PacketTextDump(PacketOf(none)), "2004/05/01 14:34:56.000007 \n");
}

// ---------------------------------------------------------------------------------------
// Parser

namespace {

// A frame section, then the protocols: two top nodes, the first with three children, the
// second with two, the last of which has one child.
const char* const kExampleOutput = "Running as user \"root\" and group \"root\". This could be dangerous.\n"
                                   "Frame 1 (60 bytes on wire, 60 bytes captured)\n"
                                   "    Arrival Time: May  1, 2004 12:34:56.000007000\n"
                                   "    Frame Number: 1\n"
                                   "        Interface name: Fake IF\n"
                                   "Ethernet II, Src: a, Dst: b\n"
                                   "    Destination: b\n"
                                   "    Source: a\n"
                                   "    Type: IP (0x0800)\n"
                                   "Internet Protocol, Src Addr: c\n"
                                   "    Version: 4\n"
                                   "    Flags: 0x00\n"
                                   "        0... = Reserved bit: Not set\n"
                                   "\n"
                                   "Frame 2 (60 bytes on wire, 60 bytes captured)\n"
                                   "Ethernet II, Src: d, Dst: e\n";

const char* const kExampleTree = "Ethernet II, Src: a, Dst: b\n"
                                 "  Destination: b\n"
                                 "  Source: a\n"
                                 "  Type: IP (0x0800)\n"
                                 "Internet Protocol, Src Addr: c\n"
                                 "  Version: 4\n"
                                 "  Flags: 0x00\n"
                                 "    0... = Reserved bit: Not set\n";

} // namespace

class ParseDissectorOutputTest : public ::testing::TestWithParam<bool> {};

TEST_P(ParseDissectorOutputTest, ExampleOutputGivesTheProtocolTree)
{
    const ProtocolTree tree = ParseDissectorOutput(WithLineEnds(kExampleOutput, GetParam()));
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].children.size(), 3u);
    ASSERT_EQ(tree[1].children.size(), 2u);
    EXPECT_EQ(tree[1].children[1].text, "Flags: 0x00");
    ASSERT_EQ(tree[1].children[1].children.size(), 1u);
    EXPECT_EQ(tree[1].children[1].children[0].text, "0... = Reserved bit: Not set");
    EXPECT_EQ(Render(tree), kExampleTree); // no frame line, no "\r", nothing after the empty line
    EXPECT_EQ(ProtocolTreeNodeCount(tree), 8u);
}

TEST_P(ParseDissectorOutputTest, Rules)
{
    struct Case {
        const char* name;
        const char* output;
        const char* tree;
    };
    const Case cases[] = {
        {"no frame section", "Ethernet II\n    Source: a\n\n", ""},
        {"nothing after the frame section", "Frame 1\n    Number: 1\n", ""},
        {"empty line right after the frame section", "Frame 1\n    Number: 1\n\nEthernet II\n", ""},
        {"only \"Fr\" counts, at the start of a line", " Frame\nFX\nFrom here\n    skipped\nIP\n", "IP\n"},
        {"last line without line end", "Fr\nIP\n    Version: 4", "IP\n  Version: 4\n"},
        {"level-1 line not starting with a capital continues the deepest section",
         "Fr\nIP\n    Flags: 0x00\n        Bit: 0\n0... = More\nmore text\nUDP\n",
         "IP\n  Flags: 0x00\n    Bit: 0\n    0... = More\n    more text\nUDP\n"},
        {"continuation at the top level", "Fr\nIP\n9 bytes\nUDP\n", "IP\n9 bytes\nUDP\n"},
        {"a jump of several levels deepens by one", "Fr\nIP\n            Deep\n    Next\n        Deeper\nUDP\n",
         "IP\n  Deep\n  Next\n    Deeper\nUDP\n"},
        {"going back several levels", "Fr\nA\n    B\n        C\n            D\n    E\nF\n",
         "A\n  B\n    C\n      D\n  E\nF\n"},
        {"text starts at the first group not beginning with a blank", "Fr\nA\n    \"  quoted\"\n",
         "A\n  \"  quoted\"\n"},
        {"a line of blanks alone is a node with empty text", "Fr\nA\n        \nB\n", "A\n  \nB\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Render(ParseDissectorOutput(WithLineEnds(c.output, GetParam()))), c.tree);
    }
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ParseDissectorOutputTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "CrLf" : "Lf"; });

// ---------------------------------------------------------------------------------------
// Child processes

TEST(RunAndCollectOutput, CollectsLongOutputWholeAndStandardErrorToo)
{
    std::string expected;
    for (int i = 1; i <= 30000; ++i)
        expected += std::to_string(i) + "\n";
    ASSERT_GT(expected.size(), 5u * static_cast<size_t>(kOutputReadSize));

    std::string output;
    bool timedOut = true;
    ASSERT_TRUE(RunAndCollectOutput("seq", {"1", "30000"}, output, kChildTimeLimitMs, &timedOut));
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(output, expected);

    // Appends; standard error goes to the same text.
    std::string both = "before\n";
    ASSERT_TRUE(RunAndCollectOutput("ls", {"/nonexistent-corvane-path"}, both));
    EXPECT_EQ(both.rfind("before\n", 0), 0u);
    EXPECT_NE(both.find("/nonexistent-corvane-path"), std::string::npos);
}

TEST(RunAndCollectOutput, ProgramThatCannotStartGivesFalse)
{
    std::string output;
    EXPECT_FALSE(RunAndCollectOutput("/nonexistent/ethereal/tethereal", {}, output));
    EXPECT_TRUE(output.empty());
}

TEST(RunAndCollectOutput, HangingChildIsKilledAfterTheTimeLimitKeepingItsOutput)
{
    // "tail -f" prints the file and then waits for more for ever.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("lines"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("first\nsecond\n");
    file.close();

    QElapsedTimer clock;
    clock.start();
    std::string output;
    bool timedOut = false;
    ASSERT_TRUE(RunAndCollectOutput("tail", {"-n", "+1", "-f", file.fileName()}, output, 500, &timedOut));
    EXPECT_TRUE(timedOut);
    EXPECT_EQ(output, "first\nsecond\n");
    EXPECT_LT(clock.elapsed(), 10000);

    timedOut = false;
    ASSERT_TRUE(RunAndCollectOutput("sleep", {"30"}, output, 300, &timedOut));
    EXPECT_TRUE(timedOut);
    EXPECT_LT(clock.elapsed(), 20000);
}

TEST(ExternalToolPath, FolderBesideTheProgramUnlessSet)
{
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath("ethereal/tethereal");
    EXPECT_EQ(ExternalToolPath("tethereal"), besideProgram);
    EXPECT_EQ(ExternalToolPath("text2pcap"),
              QDir(QCoreApplication::applicationDirPath()).filePath("ethereal/text2pcap"));
    SetExternalToolPath("tethereal", "/usr/bin/tshark");
    EXPECT_EQ(ExternalToolPath("tethereal"), "/usr/bin/tshark");
    EXPECT_EQ(ExternalToolPath("text2pcap"),
              QDir(QCoreApplication::applicationDirPath()).filePath("ethereal/text2pcap"));
    SetExternalToolPath("tethereal", QString());
    EXPECT_EQ(ExternalToolPath("tethereal"), besideProgram);
}

// ---------------------------------------------------------------------------------------
// With the real converter and dissector, in a private temporary folder that must be empty
// afterwards.

namespace {

struct Decoded {
    int count = 0;
    int32_t sec = 0;
    int32_t usec = 0;
    Bytes bytes;
};

int32_t Keep(QvrPacket* packet, void* user)
{
    auto* d = static_cast<Decoded*>(user);
    ++d->count;
    d->sec = packet->ts_sec;
    d->usec = packet->ts_usec;
    d->bytes.assign(packet->data, packet->data + packet->length);
    return 0;
}

} // namespace

class RealDissectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        tmp = std::make_unique<ScopedEnv>("TMPDIR", QFile::encodeName(folder.path()));
        ASSERT_EQ(QDir::tempPath(), QDir(folder.path()).canonicalPath());
        SetExternalToolPath("tethereal", "/usr/bin/tshark");
        SetExternalToolPath("text2pcap", "/usr/bin/text2pcap");
    }

    void TearDown() override
    {
        SetExternalToolPath("tethereal", QString());
        SetExternalToolPath("text2pcap", QString());
        tmp.reset();
    }

    QStringList Left() const
    {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder{QDir(QDir::tempPath()).filePath("dissector-test-XXXXXX")};
    std::unique_ptr<ScopedEnv> tmp;
};

TEST_F(RealDissectorTest, ConverterWritesTheOnePacketCaptureFile)
{
    Bytes frame = SipFrame();
    QString capture;
    ASSERT_TRUE(WritePacketAsPcap(PacketOf(frame, kMay2004, 123456), capture));
    EXPECT_TRUE(capture.startsWith(QDir(folder.path()).canonicalPath() + "/") ||
                capture.startsWith(folder.path() + "/"));
    EXPECT_TRUE(capture.endsWith(".pcap"));
    ASSERT_TRUE(QFile::exists(capture));
    EXPECT_EQ(Left().size(), 1); // the capture file's private folder, the dump already gone
    EXPECT_EQ(QDir(QFileInfo(capture).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    Decoded d;
    Quarvel* module = nullptr;
    ASSERT_EQ(QvrCreateQuarvel(("file://" + capture.toStdString()).c_str(), 0, nullptr, &module), QVR_OK);
    ASSERT_EQ(QvrRegisterHandler(module, Keep, &d), QVR_OK);
    EXPECT_EQ(QvrStartDispatchOfflinePacket(module), QVR_OK);
    QvrDeleteQuarvel(module);
    EXPECT_EQ(d.count, 1);
    EXPECT_EQ(d.bytes, frame);
    EXPECT_EQ(d.sec, kMay2004); // the converter reads the time line as local time, as written
    EXPECT_EQ(d.usec, 123456);

    RemoveCaptureFile(capture);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(", ").toStdString();
}

TEST_F(RealDissectorTest, SipFrameGivesTheProtocolsAndLeavesNoFile)
{
    Bytes frame = SipFrame();
    ProtocolTree tree;
    bool launchFailed = true;
    ASSERT_TRUE(BuildProtocolTree(PacketOf(frame), tree, launchFailed));
    EXPECT_FALSE(launchFailed);

    const char* const tops[] = {"Ethernet II", "Internet Protocol", "User Datagram Protocol",
                                "Session Initiation Protocol"};
    ASSERT_EQ(tree.size(), std::size(tops)) << Render(tree);
    for (size_t i = 0; i < tree.size(); ++i) {
        EXPECT_EQ(tree[i].text.rfind(tops[i], 0), 0u) << tree[i].text;
        EXPECT_FALSE(tree[i].children.empty()) << tree[i].text;
    }
    const std::string all = Render(tree);
    EXPECT_EQ(all.find("Frame"), std::string::npos) << all;
    EXPECT_NE(all.find("Request-Line: INVITE sip:bob@example.com SIP/2.0"), std::string::npos) << all;
    EXPECT_NE(all.find("Call-ID: a84b4c76e66710@10.0.0.1"), std::string::npos) << all;
    EXPECT_NE(all.find("Source Port: 5060"), std::string::npos) << all;
    EXPECT_EQ(all.find('\r'), std::string::npos);

    EXPECT_TRUE(Left().isEmpty()) << Left().join(", ").toStdString();
}

TEST_F(RealDissectorTest, MissingToolsLeaveAnEmptyTreeAndNoFile)
{
    struct Case {
        const char* name;
        const char* dissector;
        const char* converter;
        bool result;
        bool launchFailed;
    };
    const Case cases[] = {
        {"dissector missing", "/nonexistent/ethereal/tethereal", "/usr/bin/text2pcap", false, true},
        {"converter missing: the dissector finds no packet", "/usr/bin/tshark", "/nonexistent/ethereal/text2pcap",
         true, false},
        {"converter failing", "/usr/bin/tshark", "/bin/false", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetExternalToolPath("tethereal", c.dissector);
        SetExternalToolPath("text2pcap", c.converter);
        Bytes frame = SipFrame();
        ProtocolTree tree{ProtocolTreeNode{"stale", {}}};
        bool launchFailed = !c.launchFailed;
        EXPECT_EQ(BuildProtocolTree(PacketOf(frame), tree, launchFailed), c.result);
        EXPECT_EQ(launchFailed, c.launchFailed);
        EXPECT_TRUE(tree.empty());
        EXPECT_TRUE(Left().isEmpty()) << Left().join(", ").toStdString();
    }
}

TEST_F(RealDissectorTest, HangingDissectorIsKilledLeavingAnEmptyTreeAndNoFile)
{
    // A stand-in dissector that never ends, whatever its arguments (kept outside the
    // folder under watch).
    QTemporaryDir bin(QFileInfo(folder.path()).absolutePath() + "/hanging-dissector-XXXXXX");
    ASSERT_TRUE(bin.isValid());
    QFile hang(bin.filePath("tethereal"));
    ASSERT_TRUE(hang.open(QIODevice::WriteOnly));
    hang.write("#!/bin/sh\necho \"Frame 1: partial\"\nexec sleep 60\n");
    hang.close();
    ASSERT_TRUE(hang.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    SetExternalToolPath("tethereal", hang.fileName());

    QElapsedTimer clock;
    clock.start();
    Bytes frame = SipFrame();
    ProtocolTree tree;
    bool launchFailed = true;
    EXPECT_FALSE(BuildProtocolTree(PacketOf(frame), tree, launchFailed, 1000));
    EXPECT_FALSE(launchFailed);
    EXPECT_TRUE(tree.empty());
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(", ").toStdString();
}

TEST_F(RealDissectorTest, DissectorArgumentsGiveTheVerboseTreeWithThisDissector)
{
    // What the parser relies on: a frame section, then unindented protocol lines with
    // fields indented by four blanks per level, then an empty line.
    Bytes frame = SipFrame();
    QString capture;
    ASSERT_TRUE(WritePacketAsPcap(PacketOf(frame), capture));
    std::string output;
    ASSERT_TRUE(RunAndCollectOutput("/usr/bin/tshark", DissectorArguments(capture), output));
    RemoveCaptureFile(capture);
    const size_t frameLine = output.find("Frame 1: ");
    ASSERT_NE(frameLine, std::string::npos) << output;
    EXPECT_NE(output.find("\nEthernet II, ", frameLine), std::string::npos);
    EXPECT_NE(output.find("\n    Source Port: 5060\n", frameLine), std::string::npos);
    EXPECT_NE(output.find("\n\n", frameLine), std::string::npos);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(", ").toStdString();
}
