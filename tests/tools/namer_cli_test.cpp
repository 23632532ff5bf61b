// The command-line namer: what it accepts, what it writes, how it exits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

#include "colour_pipeline.h"
#include "debug_output.h"
#include "namer_cli.h"
#include "version.h"

namespace {

using namespace tintora;

struct TokenCase {
  const char* token;
  bool accepted;
  ColorRef color;
};

const TokenCase kTokenCases[] = {
    {"#FF8000", true, MakeColorRef(255, 128, 0)},
    {"#ff8000", true, MakeColorRef(255, 128, 0)},
    {"0a0B0c", true, MakeColorRef(10, 11, 12)},
    {"255,128,0", true, MakeColorRef(255, 128, 0)},
    {"0,0,0", true, 0},
    {"007,08,9", true, MakeColorRef(7, 8, 9)},
    {"  12,34,56\r", true, MakeColorRef(12, 34, 56)},
    {"\t#000001 ", true, MakeColorRef(0, 0, 1)},
    {"", false, 0},
    {"#", false, 0},
    {"#FF800", false, 0},
    {"#FF80000", false, 0},
    {"##FF8000", false, 0},
    {"#GG8000", false, 0},
    {"0x123456", false, 0},
    {"256,0,0", false, 0},
    {"1,2", false, 0},
    {"1,2,3,4", false, 0},
    {"1,,3", false, 0},
    {",1,2", false, 0},
    {"1, 2,3", false, 0},
    {"-1,2,3", false, 0},
    {"+1,2,3", false, 0},
    {"0001,2,3", false, 0},
    {"#FF 800", false, 0},
    {"1.5,2,3", false, 0},
};

TEST(ParseColorToken, AcceptsTheThreeFormsAndNothingElse) {
  for (const TokenCase& c : kTokenCases) {
    ColorRef color = 0xDEADBEEFu;
    const bool accepted = ParseColorToken(c.token, &color);
    EXPECT_EQ(accepted, c.accepted) << '"' << c.token << '"';
    EXPECT_EQ(color, accepted ? c.color : 0xDEADBEEFu) << '"' << c.token << '"';
  }
}

TEST(ParseColorToken, RefusesEmbeddedNul) {
  ColorRef color = 0;
  EXPECT_FALSE(ParseColorToken(std::string_view("12\0"
                                                "456",
                                                6),
                               &color));
}

TEST(FormatAnswerLine, GivesHexNameQualifierAndSixDecimals) {
  EXPECT_EQ(FormatAnswerLine(MakeColorRef(255, 128, 0)),
            "#ff8000\tOrange\t\t60.907851\t74.761176\t47.941311");
  EXPECT_EQ(FormatAnswerLine(MakeColorRef(128, 128, 128)),
            "#808080\tGrey\t56%\t43.446956\t0.316067\t270.743638");
  EXPECT_EQ(FormatAnswerLine(MakeColorRef(0, 255, 255)).substr(0, 22), "#00ffff\tCyan\tGreenish\t");
}

TEST(DescribeToken, EscapesControlBytesAndCutsLongTokens) {
  EXPECT_EQ(DescribeToken("ab\x1b[2J\"\\"), "ab\\x1B[2J\\x22\\x5C");
  EXPECT_EQ(DescribeToken(std::string(100, 'x')), std::string(64, 'x') + "...");
  // DEL is no printable character either.
  EXPECT_EQ(DescribeToken("a\x7F~"), "a\\x7F~");
  EXPECT_EQ(DescribeToken(std::string(64, 'x')), std::string(64, 'x'));
}

// Runs the namer on the given arguments and standard input, through
// temporary files so the same test works on every platform.
struct RunResult {
  int status;
  std::string out, err;
};

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

RunResult RunTool(std::vector<const char*> args, const std::string& input = "") {
  args.insert(args.begin(), "tintora-name");
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  RunResult result;
  result.status = RunNamer(static_cast<int>(args.size()), args.data(), in, out, err);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  return result;
}

TEST(RunNamer, AnswersArgumentsInOrderAndReportsBadOnes) {
  const RunResult r = RunTool({"#ffffff", "nope", "0,0,0"}, "255,0,0\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "#ffffff\tWhite\t\t99.999676\t0.474809\t270.743054\n"
            "#000000\tBlack\t\t0.000000\t0.000000\t380.213518\n");
  EXPECT_EQ(r.err, "tintora-name: not a colour: \"nope\"\n");
}

TEST(RunNamer, ReadsStandardInputWhenThereAreNoColourArguments) {
  const RunResult r = RunTool({}, "255,0,0\n\n   \r\nbad one\r\n#0000ff\r\n12,34,56");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
  EXPECT_EQ(r.out.substr(0, 12), "#ff0000\tRed\t");
  EXPECT_NE(r.out.find("\n#0000ff\tBlue\t\t"), std::string::npos);
  EXPECT_NE(r.out.find("\n#0c2238\t"), std::string::npos);  // last line without a line end
  EXPECT_EQ(r.err, "tintora-name: line 4: not a colour: \"bad one\"\n");
}

TEST(RunNamer, RefusesOverlongLinesWithoutKeepingThem) {
  const RunResult r = RunTool({}, std::string(100000, '1') + "\n0,0,1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(0, 8), "#000001\t");
  EXPECT_EQ(r.err, "tintora-name: line 1: not a colour: \"" + std::string(64, '1') + "...\"\n");
}

TEST(RunNamer, AcceptsLinesOfUpTo256Bytes) {
  // Blanks around a colour count towards the line's length.
  const RunResult longest = RunTool({}, std::string(249, ' ') + "255,0,0\n");
  EXPECT_EQ(longest.status, 0);
  EXPECT_EQ(longest.out.substr(0, 12), "#ff0000\tRed\t");
  const RunResult longer = RunTool({}, std::string(250, ' ') + "255,0,0\n");
  EXPECT_EQ(longer.status, 1);
  EXPECT_TRUE(longer.out.empty());
  EXPECT_EQ(longer.err,
            "tintora-name: line 1: not a colour: \"" + std::string(64, ' ') + "...\"\n");
}

TEST(RunNamer, AllGoodMeansExitZeroAndNothingOnStandardError) {
  const RunResult r = RunTool({}, "1,2,3\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(RunTool({}, "").status, 0);
}

TEST(RunNamer, HandlesOptions) {
  EXPECT_EQ(RunTool({"--version"}).out, "tintora-name " TINTORA_VERSION_STRING "\n");
  const RunResult help = RunTool({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("#RRGGBB"), std::string::npos);
  const RunResult unknown = RunTool({"--colour", "1,2,3"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(unknown.out.empty());
  EXPECT_NE(unknown.err.find("unknown option"), std::string::npos);
  // After "--" everything is a colour, so "--help" is a bad one.
  const RunResult ended = RunTool({"--", "--help"});
  EXPECT_EQ(ended.status, 1);
  EXPECT_TRUE(ended.out.empty());
}

#ifndef _WIN32
RunResult RunOnStandardInput(std::FILE* in) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const char* argv[] = {"tintora-name"};
  RunResult result;
  result.status = RunNamer(1, argv, in, out, err);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  std::fclose(out);
  std::fclose(err);
  return result;
}

TEST(RunNamer, SaysSoWhenStandardInputCannotBeRead) {
  std::FILE* directory = std::fopen("/", "r");  // opens, but read() fails with EISDIR
  ASSERT_NE(directory, nullptr);
  const RunResult r = RunOnStandardInput(directory);
  std::fclose(directory);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, std::string("tintora-name: cannot read standard input: ") +
                       std::strerror(EISDIR) + "\n");
}

volatile sig_atomic_t SignalsCaught = 0;
void CountSignal(int) { SignalsCaught = SignalsCaught + 1; }

TEST(RunNamer, ReadsOnWhenASignalInterruptsTheRead) {
  // Without SA_RESTART, a signal that arrives while the namer waits for
  // input ends the read with EINTR.
  struct sigaction action = {};
  struct sigaction previous = {};
  action.sa_handler = CountSignal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::FILE* in = fdopen(fds[0], "r");
  ASSERT_NE(in, nullptr);
  SignalsCaught = 0;
  const pthread_t reader = pthread_self();
  std::thread writer([&] {
    ASSERT_EQ(write(fds[1], "255,0,0\n", 8), 8);
    for (int i = 0; i < 20; ++i) {  // the reader waits for the next line meanwhile
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      pthread_kill(reader, SIGUSR1);
    }
    ASSERT_EQ(write(fds[1], "0,0,255\n", 8), 8);
    close(fds[1]);
  });
  const RunResult r = RunOnStandardInput(in);
  writer.join();
  std::fclose(in);
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_GT(SignalsCaught, 0);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
  EXPECT_NE(r.out.find("\n#0000ff\tBlue\t"), std::string::npos) << r.out;
}
#endif

TEST(RunNamer, WritesNoDiagnosticsToStandardOutput) {
  // Even with the debug output switched on, answers are the only output.
  struct Sink {
    static void Count(const char16_t*, void* n) { ++*static_cast<int*>(n); }
  };
  int lines = 0;
  SetDebugSink(&Sink::Count, &lines);
  const RunResult r = RunTool({"10,20,30"});
  ResetDebugSink();
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(r.out.find("R: "), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

}  // namespace
