// The mitigations end a process whose memory safety has broken down. The test
// runs itself as a child in one of these modes and looks at how the child ends:
//
//   smash     writes 32 bytes past a local array, over the stack canary (and
//             what lies beyond it); the canary check must end the process with
//             its trap before the function returns (unprotected, the function
//             would return into the overwritten address: an access violation)
//   overcopy  copies 16 bytes into an 8-byte heap block with memcpy; the
//             fortified copy's check must end the process before the copy
//   valid-call / bad-call (control-flow guard builds) an indirect call to a
//             function, and one to an address one byte into it, which the
//             strict check of the test build must refuse
//
// A child that survives prints "returned", which fails the test. libssp's
// checks end the process with a trap instruction (their message goes to the
// terminal, not to the child's standard error).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::wstring gSelf;

struct ChildResult {
  DWORD exitCode = 0;
  std::string output;  // stdout and stderr together
};

ChildResult RunChild(const wchar_t* mode) {
  ChildResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  std::wstring commandLine = L"\"" + gSelf + L"\" --child " + mode;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(gSelf.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (started) {
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) {
      result.output.append(chunk, got);
    }
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    result.output = "CreateProcessW failed, error " + std::to_string(GetLastError());
    result.exitCode = 0;
  }
  CloseHandle(readEnd);
  return result;
}

// How a process ends in libssp's checks: __builtin_trap.
constexpr DWORD kTrapExitCode = 0xC000001Du;  // STATUS_ILLEGAL_INSTRUCTION

constexpr std::size_t kSmallArray = 16;
// Past the array: alignment padding, the canary, saved registers.
constexpr std::size_t kOverrunBytes = 32;

// Reached through pointers whose values the compiler cannot know, so the
// overruns are neither inlined away nor judged at compile time.
void OverrunLocalArray(std::size_t count) {
  char buffer[kSmallArray];
  volatile char* bytes = buffer;
  for (std::size_t i = 0; i < count; ++i) bytes[i] = 'x';
}
void (*volatile gOverrun)(std::size_t) = OverrunLocalArray;

void OvercopyFortified(std::size_t count) {
  char source[64];
  std::memset(source, 'y', sizeof source);
  char* destination = static_cast<char*>(std::malloc(8));
  if (destination == nullptr) return;
  std::memcpy(destination, source, count);
  std::printf("%c\n", destination[0]);
  std::free(destination);
}
void (*volatile gOvercopy)(std::size_t) = OvercopyFortified;

int Twice(int x) { return 2 * x; }
int (*volatile gTwice)(int) = Twice;

int RunChildMode(const wchar_t* mode) {
  if (std::wcscmp(mode, L"smash") == 0) {
    gOverrun(kSmallArray + kOverrunBytes);
  } else if (std::wcscmp(mode, L"overcopy") == 0) {
    gOvercopy(16);
  } else if (std::wcscmp(mode, L"valid-call") == 0) {
    std::printf("valid call: %d\n", gTwice(21));
  } else if (std::wcscmp(mode, L"bad-call") == 0) {
    // One byte into the function: an address no call may go to.
    const auto target = reinterpret_cast<std::uintptr_t>(gTwice) + 1;
    int (*volatile bad)(int) = reinterpret_cast<int (*)(int)>(target);
    std::printf("bad call: %d\n", bad(1));
  } else {
    return 2;
  }
  std::printf("returned\n");
  std::fflush(stdout);
  return 0;
}

TEST(StackProtection, SmashedStackEndsTheProcess) {
  const ChildResult child = RunChild(L"smash");
  EXPECT_EQ(child.output.find("returned"), std::string::npos) << child.output;
  EXPECT_EQ(child.exitCode, kTrapExitCode) << child.output;
}

TEST(FortifiedCopies, OverlongCopyEndsTheProcess) {
  const ChildResult child = RunChild(L"overcopy");
  EXPECT_EQ(child.output.find("returned"), std::string::npos) << child.output;
  EXPECT_EQ(child.exitCode, kTrapExitCode) << child.output;
}

#if defined(TINTORA_CONTROL_FLOW_GUARD)
TEST(ControlFlowGuard, ValidIndirectCallRuns) {
  const ChildResult child = RunChild(L"valid-call");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
  EXPECT_NE(child.output.find("valid call: 42"), std::string::npos) << child.output;
}

#endif

#if defined(TINTORA_STRICT_GUARD_CHECK)
// How a process ends in the strict guard check, as in Windows' own.
constexpr DWORD kGuardExitCode = 0xC0000409u;  // STATUS_STACK_BUFFER_OVERRUN

TEST(ControlFlowGuard, CallToInvalidTargetEndsTheProcess) {
  const ChildResult child = RunChild(L"bad-call");
  EXPECT_EQ(child.output.find("returned"), std::string::npos) << child.output;
  EXPECT_EQ(child.exitCode, kGuardExitCode) << child.output;
  EXPECT_NE(child.output.find("is not a valid target"), std::string::npos) << child.output;
}
#endif

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wcscmp(argv[1], L"--child") == 0) {
    return RunChildMode(argv[2]);
  }
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  gSelf = path;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
