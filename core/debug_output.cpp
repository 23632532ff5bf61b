#include "debug_output.h"

namespace tintora {

namespace {

DebugSink CurrentSink = nullptr;
void* CurrentContext = nullptr;

}  // namespace

void SetDebugSink(DebugSink sink, void* context) {
  CurrentSink = sink;
  CurrentContext = context;
}

void ResetDebugSink() { SetDebugSink(nullptr, nullptr); }

bool DebugOutputActive() { return CurrentSink != nullptr; }

void WriteDebugOutput(const Utf16Char* line) {
  if (CurrentSink != nullptr && line != nullptr) CurrentSink(line, CurrentContext);
}

}  // namespace tintora
