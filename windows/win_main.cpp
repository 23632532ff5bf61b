// Program entry: the label window's start-up and message loop.
#include <windows.h>

#include "debug_output.h"
#include "label_window.h"
#include "screen_sampling.h"

namespace {

// One label per session: the second start ends at once. The session's own
// (Local) namespace, so that other users' sessions keep theirs.
constexpr wchar_t kOneLabelMutexName[] = L"Local\\MossVane.Tintora.Label";

// Takes the session's label mutex for the life of the process; false when
// another label of this session holds it (or holds it and denies us access,
// as an elevated one does).
bool TakeTheSessionsLabel() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kOneLabelMutexName);
  const DWORD error = GetLastError();
  if (mutex == nullptr) return error != ERROR_ACCESS_DENIED;  // no mutex: run all the same
  if (error != ERROR_ALREADY_EXISTS) return true;             // kept until the process ends
  CloseHandle(mutex);
  return false;
}

// Exit codes for a start-up that cannot show the label.
constexpr int kExitNoMetrics = 2;
constexpr int kExitNoWindow = 3;
constexpr int kExitMessageLoopFailed = 4;

// DLLs are then searched in the system directory only, never beside the
// program or in the current directory. Resolved at run time because older
// systems lack the function.
void RestrictDllSearchPath() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict != nullptr) restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The label's diagnostics go to the debugger output.
void DebuggerSink(const tintora::Utf16Char* line, void*) {
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(line));
}

void ReleaseEmbeddedFaces() {
  tintora::RemovePrivateFont(tintora::BoldFaceHandle);
  tintora::RemovePrivateFont(tintora::BlackFaceHandle);
  tintora::BoldFaceHandle = nullptr;
  tintora::BlackFaceHandle = nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  RestrictDllSearchPath();
  if (!TakeTheSessionsLabel()) return 0;  // the label is already there
  tintora::SetDebugSink(DebuggerSink, nullptr);

  if (!tintora::RegisterLabelClass(instance)) {
    MessageBoxW(nullptr, L"This program requires Windows NT!", tintora::kLabelClassName,
                MB_ICONERROR);
    return 0;
  }

  // The embedded faces come first, so the reference metrics, and with them
  // every size of the label and the first paint, use the real faces.
  tintora::RegisterEmbeddedFaces(instance);

  const tintora::InitialWindowSize size = tintora::MeasureBaseMetrics();
  if (!size.measured) {
    ReleaseEmbeddedFaces();
    return kExitNoMetrics;
  }

  tintora::LabelWindow = tintora::CreateLabelWindow(instance, size);
  if (tintora::LabelWindow == nullptr) {
    // A window that failed after WM_CREATE has already released its fonts and
    // faces in WM_DESTROY; whatever is left goes now.
    tintora::DeleteLabelFonts();
    ReleaseEmbeddedFaces();
    return kExitNoWindow;
  }

  ShowWindow(tintora::LabelWindow, showCommand);
  UpdateWindow(tintora::LabelWindow);
  tintora::RegisterRawMouseInput(tintora::LabelWindow);

  MSG message = {};
  BOOL got = 0;
  // GetMessageW answers -1 on failure; looping on that would spin for ever.
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : kExitMessageLoopFailed;
}
