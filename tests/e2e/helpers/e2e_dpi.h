// The helpers measure and move in physical pixels, as the label does, so they
// declare themselves per-monitor DPI aware before touching any window.
#pragma once

#include <windows.h>

namespace tintora {
namespace e2e {

inline void BecomeDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 != nullptr) {
    FARPROC proc = GetProcAddress(user32, "SetProcessDpiAwarenessContext");
    if (proc != nullptr) {
      SetContextFn set_context = nullptr;
      static_assert(sizeof(set_context) == sizeof(proc), "function pointer sizes differ");
      // Copy the address instead of a reinterpret_cast between unrelated
      // function types, which some compilers warn about.
      CopyMemory(&set_context, &proc, sizeof(set_context));
      if (set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)) {
        return;
      }
    }
  }
  SetProcessDPIAware();
}

}  // namespace e2e
}  // namespace tintora
