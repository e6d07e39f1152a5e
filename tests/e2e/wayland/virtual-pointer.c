/* A pointer device for a wlroots compositor that has none (a headless one), for the tests: it
 * creates one virtual pointer and then reads commands from standard input, one a line:
 *   move X Y   puts the pointer at X, Y of the compositor's layout (absolute)
 *   click      presses and releases the left button
 * and answers each line with "ok" once the compositor has it. Its arguments are the layout's
 * width and height, the extent of absolute positions.
 *
 * The protocol's two interfaces are declared here by hand (wire names, request order and
 * signatures of the compositor's zwlr_virtual_pointer_manager_v1, version 1), as far as the
 * requests used here, so that no generated code is needed; leaving, the client disconnects,
 * which destroys its pointer. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

static const struct wl_interface virtual_pointer_interface;

static const struct wl_interface* create_types[] = {&wl_seat_interface,
                                                    &virtual_pointer_interface};
static const struct wl_interface* no_types[8];

static const struct wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", create_types},
};
static const struct wl_interface manager_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, manager_requests, 0, NULL};

/* Requests in protocol order: their index is their opcode. */
enum { MOTION, MOTION_ABSOLUTE, BUTTON, AXIS, FRAME };
static const struct wl_message pointer_requests[] = {
    {"motion", "uff", no_types}, {"motion_absolute", "uuuuu", no_types},
    {"button", "uuu", no_types}, {"axis", "uuf", no_types},
    {"frame", "", no_types},
};
static const struct wl_interface virtual_pointer_interface = {
    "zwlr_virtual_pointer_v1", 1, 5, pointer_requests, 0, NULL};

static struct wl_proxy* manager;
static struct wl_seat* seat;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, manager_interface.name) == 0) {
    manager = wl_registry_bind(registry, name, &manager_interface, 1);
  } else if (strcmp(interface, "wl_seat") == 0 && !seat) {
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  }
}
static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}
static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: virtual-pointer WIDTH HEIGHT\n");
    return 2;
  }
  const uint32_t width = (uint32_t)atoi(argv[1]), height = (uint32_t)atoi(argv[2]);
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "virtual-pointer: no Wayland display\n");
    return 1;
  }
  wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!manager) {
    fprintf(stderr, "virtual-pointer: the compositor has no virtual pointers\n");
    return 1;
  }
  struct wl_proxy* pointer = wl_proxy_marshal_flags(
      manager, 0, &virtual_pointer_interface, 1, 0, (struct wl_proxy*)seat, NULL);
  wl_display_roundtrip(display);
  printf("ready\n");
  fflush(stdout);

  char line[128];
  while (fgets(line, sizeof line, stdin)) {
    unsigned x, y;
    if (sscanf(line, "move %u %u", &x, &y) == 2) {
      wl_proxy_marshal_flags(pointer, MOTION_ABSOLUTE, NULL, 1, 0, now_ms(), x, y, width, height);
    } else if (strncmp(line, "click", 5) == 0) {
      wl_proxy_marshal_flags(pointer, BUTTON, NULL, 1, 0, now_ms(), 0x110 /* BTN_LEFT */, 1);
      wl_proxy_marshal_flags(pointer, FRAME, NULL, 1, 0);
      wl_proxy_marshal_flags(pointer, BUTTON, NULL, 1, 0, now_ms(), 0x110, 0);
    } else {
      fprintf(stderr, "virtual-pointer: unknown command %s", line);
      continue;
    }
    wl_proxy_marshal_flags(pointer, FRAME, NULL, 1, 0);
    if (wl_display_roundtrip(display) < 0) return 1;
    printf("ok\n");
    fflush(stdout);
  }
  wl_display_disconnect(display);
  return 0;
}
