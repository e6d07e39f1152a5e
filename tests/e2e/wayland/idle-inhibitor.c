/* A client that keeps the desktop from going idle, as a video player does, for the tests: it
 * shows a small window (an xdg toplevel with a grey buffer) and holds an idle inhibitor on it
 * (zwp_idle_inhibit_manager_v1), answers "inhibiting" once the compositor has both, and gives the
 * inhibitor up at the line "release" on standard input, answering "released". It then stays,
 * window and all, until standard input ends. */
#define _GNU_SOURCE
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

enum { SIZE = 64 };

static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct xdg_wm_base* wm_base;
static struct zwp_idle_inhibit_manager_v1* inhibit_manager;
static int configured;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, wl_compositor_interface.name) == 0) {
    compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 1);
  } else if (strcmp(interface, wl_shm_interface.name) == 0) {
    shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
  } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
    wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
  } else if (strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0) {
    inhibit_manager = wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1);
  }
}
static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}
static const struct wl_registry_listener registry_listener = {global, global_remove};

static void ping(void* data, struct xdg_wm_base* base, uint32_t serial) {
  (void)data;
  xdg_wm_base_pong(base, serial);
}
static const struct xdg_wm_base_listener wm_base_listener = {ping};

static void surface_configure(void* data, struct xdg_surface* surface, uint32_t serial) {
  (void)data;
  xdg_surface_ack_configure(surface, serial);
  configured = 1;
}
static const struct xdg_surface_listener surface_listener = {surface_configure};

static struct wl_buffer* grey_buffer(void) {
  const int stride = SIZE * 4, bytes = stride * SIZE;
  int fd = memfd_create("idle-inhibitor", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, bytes) < 0) return NULL;
  void* pixels = mmap(NULL, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (pixels == MAP_FAILED) return NULL;
  memset(pixels, 0x80, bytes);
  munmap(pixels, bytes);
  struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, bytes);
  struct wl_buffer* buffer =
      wl_shm_pool_create_buffer(pool, 0, SIZE, SIZE, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  return buffer;
}

int main(void) {
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "idle-inhibitor: no Wayland compositor\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!compositor || !shm || !wm_base || !inhibit_manager) {
    fprintf(stderr, "idle-inhibitor: the compositor lacks a protocol it needs\n");
    return 1;
  }
  xdg_wm_base_add_listener(wm_base, &wm_base_listener, NULL);
  struct wl_surface* surface = wl_compositor_create_surface(compositor);
  struct xdg_surface* xdg = xdg_wm_base_get_xdg_surface(wm_base, surface);
  xdg_surface_add_listener(xdg, &surface_listener, NULL);
  struct xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdg);
  xdg_toplevel_set_title(toplevel, "idle inhibitor");
  wl_surface_commit(surface);
  while (!configured && wl_display_dispatch(display) >= 0) {
  }
  struct wl_buffer* buffer = grey_buffer();
  if (!buffer) return 1;
  wl_surface_attach(surface, buffer, 0, 0);
  wl_surface_commit(surface);
  struct zwp_idle_inhibitor_v1* inhibitor =
      zwp_idle_inhibit_manager_v1_create_inhibitor(inhibit_manager, surface);
  wl_display_roundtrip(display);
  printf("inhibiting\n");
  fflush(stdout);

  char line[64];
  while (fgets(line, sizeof line, stdin)) {
    if (strncmp(line, "release", 7) == 0 && inhibitor) {
      zwp_idle_inhibitor_v1_destroy(inhibitor);
      inhibitor = NULL;
      wl_display_roundtrip(display);
      printf("released\n");
      fflush(stdout);
    }
  }
  wl_display_disconnect(display);
  return 0;
}
