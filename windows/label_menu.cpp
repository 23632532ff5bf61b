#include "label_core.h"
#include "label_window.h"
#include "settings_store.h"
#include "windows_rules.h"

namespace tintora {

LRESULT ShowLabelMenu(HWND window, LPARAM lParam) {
  const Point click = MenuPositionFromLParam(lParam);
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return 0;
  for (int i = 0; i < kLabelMenuItemCount; ++i) {
    InsertMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, kLabelMenuItems[i].id,
                reinterpret_cast<const wchar_t*>(kLabelMenuItems[i].text));
  }
  CheckMenuItem(menu, 0, MF_BYPOSITION | (AutostartEnabled != 0 ? MF_CHECKED : MF_UNCHECKED));
  SetForegroundWindow(window);
  TrackPopupMenu(menu, 0, click.x, click.y, 0, window, nullptr);
  // The menu is built anew on every right-click; release this one.
  DestroyMenu(menu);
  return 0;
}

LRESULT HandleMenuCommand(HWND window, WPARAM wParam) {
  switch (MenuCommandFromId(wParam)) {
    case MenuCommand::Exit:
      PostMessageW(window, WM_DESTROY, 0, 0);
      break;
    case MenuCommand::About:
      MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(kAboutText),
                  reinterpret_cast<const wchar_t*>(kAboutTitle), MB_OK);
      break;
    case MenuCommand::ToggleAutostart: {
      const AutostartToggle toggle = ToggleAutostart(AutostartEnabled);
      if (toggle.enable) {
        EnableAutostart();
      } else {
        DisableAutostart();
      }
      AutostartEnabled = toggle.flagAfter;
      break;
    }
    case MenuCommand::None:
      break;
  }
  return 0;
}

}  // namespace tintora
