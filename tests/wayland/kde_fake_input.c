/* Pointer and keyboard input on a KWin session, for the Wayland tests:
 * KWin's org_kde_kwin_fake_input protocol (KWin lets any client use it when
 * KWIN_WAYLAND_NO_PERMISSION_CHECKS=1). Reads commands, one a line, on
 * standard input and answers each with "ok" or "error ...":
 *
 *   move X Y                    the pointer to (X, Y), global logical coordinates
 *   button B press|release|click   B: left, middle, right or an evdev code
 *   key CODE press|release|tap  CODE: an evdev key code (28 Return, 1 Escape, 15 Tab, 57 space)
 *   quit
 *
 * Usage: kde_fake_input   (WAYLAND_DISPLAY names the compositor) */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input* fake_input;

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version) {
  (void)data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
    fake_input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

static int button_code(const char* name) {
  if (strcmp(name, "left") == 0) return BTN_LEFT;
  if (strcmp(name, "right") == 0) return BTN_RIGHT;
  if (strcmp(name, "middle") == 0) return BTN_MIDDLE;
  return (int)strtol(name, NULL, 0);
}

/* The states to send for an action: press, release or both. */
static int states(const char* action, int out[2]) {
  if (strcmp(action, "press") == 0) return out[0] = 1, 1;
  if (strcmp(action, "release") == 0) return out[0] = 0, 1;
  if (strcmp(action, "click") == 0 || strcmp(action, "tap") == 0) return out[0] = 1, out[1] = 0, 2;
  return 0;
}

int main(void) {
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) {
    fprintf(stderr, "kde_fake_input: cannot connect to the Wayland display\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (fake_input == NULL) {
    fprintf(stderr, "kde_fake_input: the compositor offers no org_kde_kwin_fake_input version 4\n");
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(fake_input, "tintora tests", "end-to-end test input");
  wl_display_roundtrip(display);
  printf("ready\n");
  fflush(stdout);

  char line[256];
  while (fgets(line, sizeof line, stdin) != NULL) {
    char command[32] = "", a[64] = "", b[64] = "";
    if (sscanf(line, "%31s %63s %63s", command, a, b) < 1) continue;
    int sent[2], n = 0;
    if (strcmp(command, "quit") == 0) {
      printf("ok\n");
      break;
    } else if (strcmp(command, "move") == 0 && b[0] != '\0') {
      org_kde_kwin_fake_input_pointer_motion_absolute(fake_input, wl_fixed_from_double(atof(a)),
                                                      wl_fixed_from_double(atof(b)));
    } else if (strcmp(command, "button") == 0 && (n = states(b, sent)) > 0) {
      for (int i = 0; i < n; ++i)
        org_kde_kwin_fake_input_button(fake_input, (uint32_t)button_code(a), (uint32_t)sent[i]);
    } else if (strcmp(command, "key") == 0 && (n = states(b, sent)) > 0) {
      for (int i = 0; i < n; ++i)
        org_kde_kwin_fake_input_keyboard_key(fake_input, (uint32_t)atoi(a), (uint32_t)sent[i]);
    } else {
      printf("error unknown command: %s", line);
      fflush(stdout);
      continue;
    }
    if (wl_display_roundtrip(display) < 0) {
      printf("error the compositor went away\n");
      return 1;
    }
    printf("ok\n");
    fflush(stdout);
  }
  org_kde_kwin_fake_input_destroy(fake_input);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return 0;
}
