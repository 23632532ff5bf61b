#include "label_layout.h"
#include "label_window.h"
#include "settings_store.h"

namespace tintora {

LRESULT ShowLabelMenu(HWND window, LPARAM lParam) {
  const Point click = MenuPositionFromLParam(lParam);
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return 0;
  InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, kCmdLaunchOnStartup, L"Launch on startup");
  InsertMenuW(menu, 1, MF_BYPOSITION | MF_STRING, kCmdAbout, L"About");
  InsertMenuW(menu, 2, MF_BYPOSITION | MF_STRING, kCmdExit, L"Exit");
  CheckMenuItem(menu, 0, MF_BYPOSITION | (AutostartEnabled != 0 ? MF_CHECKED : MF_UNCHECKED));
  SetForegroundWindow(window);
  TrackPopupMenu(menu, 0, click.x, click.y, 0, window, nullptr);
  // The menu is built anew on every right-click; release this one.
  DestroyMenu(menu);
  return 0;
}

LRESULT HandleMenuCommand(HWND window, WPARAM wParam) {
  switch (MenuCommandFromWParam(wParam)) {
    case MenuCommand::Exit:
      PostMessageW(window, WM_DESTROY, 0, 0);
      break;
    case MenuCommand::About:
      MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(kAboutText), L"About", MB_OK);
      break;
    case MenuCommand::ToggleAutostart:
      // The flag follows the user's choice whatever the registry says.
      if (AutostartEnabled != 0) {
        DisableAutostart();
        AutostartEnabled = 0;
      } else {
        EnableAutostart();
        AutostartEnabled = 1;
      }
      break;
    case MenuCommand::None:
      break;
  }
  return 0;
}

}  // namespace tintora
