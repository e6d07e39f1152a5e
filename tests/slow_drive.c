// slow_drive: a read-only FUSE file system of the tests' own that shows the folder SOURCE at
// MOUNTPOINT as a slow or stuck drive would: listing, file attributes and opening come at once,
// but the first read of an opened file waits FIRST_READ_DELAY_MS milliseconds and the bytes come
// at BYTES_PER_SECOND, like a disc spinning up or a sleeping network drive; with "stuck", no read
// ever completes. (The stall is in the reads, where a program's own thread waits for it: under
// Wine a file is opened by the wineserver, which serves every thread of every program, so a
// stalled open would stall all of them, which no program can help.)
// Every wait ends when the kernel interrupts the request (the process that asked is ending), as
// some network file systems' clients do: the drive holds a read, never the reader's end.
//
// "deaf" is the hostile drive: it answers no interrupt, so a request it holds ends only when its
// wait does, as with sshfs and the FUSE mounts GNOME's file manager makes for network shares
// (whose operations block until the connection comes back). The kernel cannot abandon such a
// request once the drive has it, even for a killed process: the thread that asked keeps its whole
// process alive meanwhile. It stalls one STAGE, MS milliseconds or for ever: "open" (each open of
// a file), "list" (each listing of a folder and each lookup of a name, as the first touch of a
// folder on a dead network mount) or "read" (each file's first read). Its waits end when the
// drive itself is ended.
//
// Usage: slow_drive SOURCE MOUNTPOINT FIRST_READ_DELAY_MS BYTES_PER_SECOND
//        slow_drive SOURCE MOUNTPOINT stuck
//        slow_drive SOURCE MOUNTPOINT deaf open|list|read MS|forever
// It runs in the foreground until unmounted (fusermount3 -u MOUNTPOINT) or ended by a signal.
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static char g_source[PATH_MAX];
static int g_stuck = 0;
static long g_first_read_delay_ms = 0;
static long g_bytes_per_second = 0;
// The deaf drive: the stage it stalls ('o'pen, 'l'ist, 'r'ead; 0: none) and for how long (-1: for
// ever).
static char g_deaf_stage = 0;
static long g_deaf_ms = 0;

static void SourcePath(char out[PATH_MAX], const char* path) {
  snprintf(out, PATH_MAX, "%s%s", g_source, path);
}

// Sleeps `ms` milliseconds (for ever with -1), 20 ms at a time; -EINTR as soon as the request is
// interrupted (libfuse also signals the thread, which cuts the current sleep short), except on the
// deaf drive; -EIO once the drive is being ended.
static int Wait(long ms) {
  struct fuse_session* session = fuse_get_session(fuse_get_context()->fuse);
  for (long waited = 0; ms < 0 || waited < ms; waited += 20) {
    if (!g_deaf_stage && fuse_interrupted()) return -EINTR;
    if (fuse_session_exited(session)) return -EIO;
    const long step = ms < 0 || ms - waited > 20 ? 20 : ms - waited;
    struct timespec tick = {0, step * 1000000L};
    nanosleep(&tick, NULL);
  }
  return 0;
}

// The deaf drive's stall at `stage`, if it stalls there.
static int DeafStall(char stage) {
  return g_deaf_stage == stage ? Wait(g_deaf_ms) : 0;
}

static int DriveGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  // The root's attributes come at once: mounting and the mount check need them.
  if (strcmp(path, "/") != 0) {
    const int stalled = DeafStall('l');
    if (stalled != 0) return stalled;
  }
  char full[PATH_MAX];
  SourcePath(full, path);
  return lstat(full, st) == 0 ? 0 : -errno;
}

static int DriveReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                        struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)offset;
  (void)fi;
  (void)flags;
  const int stalled = DeafStall('l');
  if (stalled != 0) return stalled;
  char full[PATH_MAX];
  SourcePath(full, path);
  DIR* dir = opendir(full);
  if (!dir) return -errno;
  struct dirent* entry;
  while ((entry = readdir(dir)) != NULL) {
    if (fill(buf, entry->d_name, NULL, 0, 0)) break;
  }
  closedir(dir);
  return 0;
}

// An opened file: its descriptor in SOURCE, and whether its first read has come.
struct Opened {
  int fd;
  int read_before;
};

static int DriveOpen(const char* path, struct fuse_file_info* fi) {
  if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  const int stalled = DeafStall('o');
  if (stalled != 0) return stalled;
  char full[PATH_MAX];
  SourcePath(full, path);
  struct Opened* opened = calloc(1, sizeof *opened);
  if (!opened) return -ENOMEM;
  opened->fd = open(full, O_RDONLY);
  if (opened->fd < 0) {
    const int error = errno;
    free(opened);
    return -error;
  }
  fi->fh = (uint64_t)(uintptr_t)opened;
  fi->direct_io = 1;   // every read comes here, at the drive's pace, never from the page cache
  return 0;
}

static int DriveRead(const char* path, char* buf, size_t size, off_t offset,
                     struct fuse_file_info* fi) {
  (void)path;
  struct Opened* opened = (struct Opened*)(uintptr_t)fi->fh;
  if (g_stuck || !__atomic_exchange_n(&opened->read_before, 1, __ATOMIC_SEQ_CST)) {
    const int waited = g_deaf_stage ? DeafStall('r')
                                    : Wait(g_stuck ? -1 : g_first_read_delay_ms);
    if (waited != 0) return waited;
  }
  const ssize_t n = pread(opened->fd, buf, size, offset);
  if (n < 0) return -errno;
  if (g_bytes_per_second > 0 && n > 0) {
    const int waited = Wait((long)((long long)n * 1000 / g_bytes_per_second));
    if (waited != 0) return waited;
  }
  return (int)n;
}

static int DriveRelease(const char* path, struct fuse_file_info* fi) {
  (void)path;
  struct Opened* opened = (struct Opened*)(uintptr_t)fi->fh;
  close(opened->fd);
  free(opened);
  return 0;
}

static void* DriveInit(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  (void)conn;
  // An interrupted request's handler is signalled, so that Wait returns; the deaf drive answers
  // no interrupt.
  cfg->intr = !g_deaf_stage;
  cfg->kernel_cache = 0;
  cfg->attr_timeout = 0;
  cfg->entry_timeout = 0;
  return NULL;
}

static const struct fuse_operations kDrive = {
    .getattr = DriveGetattr,
    .open = DriveOpen,
    .read = DriveRead,
    .release = DriveRelease,
    .readdir = DriveReaddir,
    .init = DriveInit,
};

int main(int argc, char** argv) {
  const int stuck = argc == 4 && strcmp(argv[3], "stuck") == 0;
  const int deaf = argc == 6 && strcmp(argv[3], "deaf") == 0;
  if (deaf) {
    const char* stage = argv[4];
    if (strcmp(stage, "open") == 0 || strcmp(stage, "list") == 0 || strcmp(stage, "read") == 0) {
      g_deaf_stage = stage[0];
    }
    g_deaf_ms = strcmp(argv[5], "forever") == 0 ? -1 : atol(argv[5]);
  }
  if ((argc != 5 && !stuck && !deaf) || (deaf && (!g_deaf_stage || g_deaf_ms == 0))) {
    fprintf(stderr, "usage: slow_drive SOURCE MOUNTPOINT FIRST_READ_DELAY_MS BYTES_PER_SECOND\n"
                    "       slow_drive SOURCE MOUNTPOINT stuck\n"
                    "       slow_drive SOURCE MOUNTPOINT deaf open|list|read MS|forever\n");
    return 2;
  }
  if (!realpath(argv[1], g_source)) {
    perror(argv[1]);
    return 2;
  }
  g_stuck = stuck;
  if (!stuck && !deaf) {
    g_first_read_delay_ms = atol(argv[3]);
    g_bytes_per_second = atol(argv[4]);
  }
  // Foreground, read-only, readable by every user (the tests may run the program as another).
  char* args[] = {argv[0], argv[2], "-f", "-o", "ro,allow_other,default_permissions", NULL};
  return fuse_main(5, args, &kDrive, NULL);
}
