// The right-click menu and the About box, in GTK, on GTK's own connection to
// the same display; GTK's events and the label's flow through one main loop.
#include "x11_label.h"
#include "x11_settings.h"

#include <gtk/gtk.h>

#include <string>

namespace tintora {

namespace {

GtkWidget* AboutBox = nullptr;

X11Label* LabelOf(gpointer data) { return static_cast<X11Label*>(data); }

void OnToggleAutostart(GtkMenuItem*, gpointer data) {
  X11Label* label = LabelOf(data);
  const AutostartToggle toggle = ToggleAutostart(label->autostartEnabled);
  if (toggle.enable) {
    EnableAutostart();
  } else {
    DisableAutostart();
  }
  label->autostartEnabled = toggle.flagAfter;
}

void OnAboutClosed(GtkWidget*, gpointer) { AboutBox = nullptr; }

void OnAboutOk(GtkButton*, gpointer window) { gtk_widget_destroy(GTK_WIDGET(window)); }

// Escape closes the box, as it does a message box.
gboolean OnAboutKey(GtkWidget* window, GdkEventKey* key, gpointer) {
  if (key->keyval != GDK_KEY_Escape) return FALSE;
  gtk_widget_destroy(window);
  return TRUE;
}

void ShowAbout(GtkMenuItem*, gpointer) {
  if (AboutBox != nullptr) {
    gtk_window_present(GTK_WINDOW(AboutBox));
    return;
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  AboutBox = window;
  gtk_window_set_title(GTK_WINDOW(window), Utf8FromUtf16(kAboutTitle).c_str());
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  // Above the label, which is kept above everything else.
  gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(box), 16);
  const std::string text = Utf8FromUtf16(kAboutText);
  GtkWidget* label = gtk_label_new(text.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
  GtkWidget* buttons = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons), GTK_BUTTONBOX_END);
  GtkWidget* ok = gtk_button_new_with_mnemonic("_OK");
  gtk_container_add(GTK_CONTAINER(buttons), ok);
  gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window), box);
  g_signal_connect(ok, "clicked", G_CALLBACK(OnAboutOk), window);
  g_signal_connect(window, "destroy", G_CALLBACK(OnAboutClosed), nullptr);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnAboutKey), nullptr);
  gtk_widget_set_can_default(ok, TRUE);
  gtk_widget_show_all(window);
  gtk_widget_grab_focus(ok);
  gtk_widget_grab_default(ok);
}

void OnExit(GtkMenuItem*, gpointer data) { EndLabel(LabelOf(data)); }

gboolean DestroyMenuLater(gpointer menu) {
  gtk_widget_destroy(GTK_WIDGET(menu));
  return G_SOURCE_REMOVE;
}

// A menu item's activation comes after the menu's deactivation: the menu
// goes once both are done.
void OnMenuDeactivated(GtkMenuShell* menu, gpointer) { g_idle_add(DestroyMenuLater, menu); }

}  // namespace

void ShowLabelMenu(X11Label* label, int x, int y, Time time) {
  // The press gave the label's connection the pointer; the menu takes it.
  XUngrabPointer(label->display, time);
  XFlush(label->display);

  // The core's items, top to bottom; "Launch on startup" carries the check mark.
  GtkWidget* menu = gtk_menu_new();
  for (const LabelMenuItem& item : kLabelMenuItems) {
    const std::string text = Utf8FromUtf16(item.text);
    GtkWidget* entry = nullptr;
    switch (MenuCommandFromId(item.id)) {
      case MenuCommand::ToggleAutostart:
        entry = gtk_check_menu_item_new_with_label(text.c_str());
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(entry), label->autostartEnabled != 0);
        g_signal_connect(entry, "activate", G_CALLBACK(OnToggleAutostart), label);
        break;
      case MenuCommand::About:
        entry = gtk_menu_item_new_with_label(text.c_str());
        g_signal_connect(entry, "activate", G_CALLBACK(ShowAbout), nullptr);
        break;
      case MenuCommand::Exit:
        entry = gtk_menu_item_new_with_label(text.c_str());
        g_signal_connect(entry, "activate", G_CALLBACK(OnExit), label);
        break;
      default:  // no command (Xlib's None macro hides the enumerator's name here)
        continue;
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
  }
  g_signal_connect(menu, "deactivate", G_CALLBACK(OnMenuDeactivated), nullptr);
  gtk_widget_show_all(menu);

  // The press that opens the menu, as GTK would have seen it: the menu then
  // knows the button and the time, so the release of this same click does
  // not choose an item or close the menu.
  GdkDisplay* display = gdk_display_get_default();
  GdkWindow* root = gdk_get_default_root_window();
  GdkEvent* trigger = gdk_event_new(GDK_BUTTON_PRESS);
  trigger->button.window = GDK_WINDOW(g_object_ref(root));
  trigger->button.send_event = TRUE;
  trigger->button.time = static_cast<guint32>(time);
  trigger->button.x = trigger->button.x_root = x;
  trigger->button.y = trigger->button.y_root = y;
  trigger->button.button = 3;
  gdk_event_set_device(trigger, gdk_seat_get_pointer(gdk_display_get_default_seat(display)));
  const GdkRectangle at{x, y, 1, 1};
  gtk_menu_popup_at_rect(GTK_MENU(menu), root, &at, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                         trigger);
  gdk_event_free(trigger);
}

}  // namespace tintora
