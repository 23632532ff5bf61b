// The one seam through which diagnostics leave the program.
//
// On Windows every line goes to the debugger output (OutputDebugStringW).
// Elsewhere lines go to an installed sink, and nowhere by default. A sink
// installed on Windows replaces the debugger output, so tests can read it.
#pragma once

#include "colour_types.h"

namespace tintora {

using DebugSink = void (*)(const Utf16Char* line, void* context);

// A null sink silences the output.
void SetDebugSink(DebugSink sink, void* context);

// Back to the platform's default: the debugger on Windows, silence elsewhere.
void ResetDebugSink();

// True when a line written now would go somewhere; lets callers skip
// formatting work that nobody would see.
bool DebugOutputActive();

void WriteDebugOutput(const Utf16Char* line);

}  // namespace tintora
