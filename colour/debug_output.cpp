#include "debug_output.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tintora {

namespace {

#ifdef _WIN32
void DebuggerSink(const Utf16Char* line, void*) {
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(line));
}
constexpr DebugSink kDefaultSink = DebuggerSink;
#else
constexpr DebugSink kDefaultSink = nullptr;  // silent unless a test installs a sink
#endif
DebugSink CurrentSink = kDefaultSink;
void* CurrentContext = nullptr;

}  // namespace

void SetDebugSink(DebugSink sink, void* context) {
  CurrentSink = sink;
  CurrentContext = context;
}

void ResetDebugSink() {
  CurrentSink = kDefaultSink;
  CurrentContext = nullptr;
}

bool DebugOutputActive() { return CurrentSink != nullptr; }

void WriteDebugOutput(const Utf16Char* line) {
  if (CurrentSink != nullptr && line != nullptr) CurrentSink(line, CurrentContext);
}

}  // namespace tintora
