// The one seam through which diagnostics leave the program.
//
// Lines go to the installed sink, and nowhere until one is installed: each
// shell installs its platform's own at start-up (the debugger output on
// Windows, standard error for the Linux label's --debug), and tests install
// one to read the lines.
#pragma once

#include "utf_text.h"

namespace tintora {

using DebugSink = void (*)(const Utf16Char* line, void* context);

// A null sink silences the output.
void SetDebugSink(DebugSink sink, void* context);

// Back to silence.
void ResetDebugSink();

// True when a line written now would go somewhere; lets callers skip
// formatting work that nobody would see.
bool DebugOutputActive();

void WriteDebugOutput(const Utf16Char* line);

}  // namespace tintora
