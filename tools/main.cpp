// tintora-name: names colours from the command line or standard input.
#include <cstdio>

#include "debug_output.h"
#include "namer_cli.h"

int main(int argc, char** argv) {
  // Answers are flushed whenever the namer is about to wait for input, so a
  // large buffer costs no responsiveness; the C runtime's default on Windows
  // writes almost line by line.
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  // The engine's per-colour debugger lines serve the label; for a batch of
  // colours they would cost two debugger calls per answer (on Windows each
  // one is a round trip into the system).
  tintora::SetDebugSink(nullptr, nullptr);
  return tintora::RunNamer(argc, argv, stdin, stdout, stderr);
}
