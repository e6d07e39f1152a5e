"""End-to-end harness: runs the real Linux program, or a real Windows build under Wine, on an Xvfb
display of a given size with isolated settings, and drives and watches it as a person would
(xdotool for input, screenshots for what is on the screen, the exit status at the end).

Environment: QUILDOR_KIND is "linux" or "wine"; QUILDOR_EXE is the program; for Wine, WINEPREFIX
is the test run's prefix (made once per run by wine-prefix-init), and WINELOADER and WINESERVER are
the Wine loader for the build's programs and the wineserver, as the build found them.

Everything waits for a condition with a generous time-out; nothing relies on a fixed sleep.
"""
import contextlib
import os
import pwd
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

# What differs between the Linux program and the Windows build, kept apart; the tests take it
# from here.
from platforms import (  # noqa: F401
    APP_TITLE, KIND, WINE, WINESERVER, end_wine, folder_setting, native_path, screen_scale,
    set_linux_settings, set_wine_settings, stored_setting, wine_env, wine_reg, wine_run)

EXE = os.environ.get("QUILDOR_EXE", "")
ARTIFACTS = os.environ.get("QUILDOR_ARTIFACTS", os.path.join(tempfile.gettempdir(), "quildor-e2e"))
WINDOW_TIMEOUT = 60 if KIND == "wine" else 20
# Tests of files that the user cannot read or write run the Linux program as "nobody" wherever the
# tests may start programs as another user (root may, and must: it reads and writes every file);
# elsewhere the tests' own user is an ordinary one, whose file modes hold, and runs it.
NOBODY = pwd.getpwnam("nobody")
AS_NOBODY = dict(user=NOBODY.pw_uid, group=NOBODY.pw_gid, extra_groups=[])


def _may_switch_user():
    try:
        return subprocess.run(["true"], **AS_NOBODY).returncode == 0
    except PermissionError:
        return False


SWITCHES_USER = _may_switch_user()


def hand_over(path):
    """Gives `path` and everything in it to the user an unprivileged program runs as."""
    if not SWITCHES_USER:
        return
    os.chown(path, NOBODY.pw_uid, NOBODY.pw_gid, follow_symlinks=False)
    for top, dirs, files in os.walk(path):
        for name in dirs + files:
            os.chown(os.path.join(top, name), NOBODY.pw_uid, NOBODY.pw_gid, follow_symlinks=False)


def processes(name=None, runtime=None):
    """The process numbers, sorted, of the processes named `name` (their command's name, which a
    process keeps while another of its threads lingers after its main thread's end) whose
    environment has XDG_RUNTIME_DIR=`runtime`; either left out matches every process."""
    marker = runtime and ("XDG_RUNTIME_DIR=%s" % runtime).encode()
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if name:
                with open("/proc/%s/comm" % pid) as f:
                    if f.read().strip() != name:
                        continue
            if marker:
                with open("/proc/%s/environ" % pid, "rb") as f:
                    if marker not in f.read().split(b"\0"):
                        continue
            found.append(int(pid))
        except OSError:
            pass
    return sorted(found)


def end_session_processes(runtime):
    """Ends what a compositor started in its session and left running at its own end (the
    command it starts, its Xwayland, programs it ran for the test, which it starts in sessions
    of their own): every process whose environment has XDG_RUNTIME_DIR=`runtime`, the
    compositor's own folder, which nothing else names."""
    found = processes(runtime=runtime)
    for pid in found:
        with contextlib.suppress(OSError):
            os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and any(_alive(pid) for pid in found):
        time.sleep(0.1)
    for pid in found:
        with contextlib.suppress(OSError):
            os.kill(pid, signal.SIGKILL)


def _alive(pid):
    """Whether process `pid` is there and not a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def wait_for(condition, timeout, what):
    """Polls `condition` until it returns something true; raises AssertionError after `timeout`."""
    deadline = time.monotonic() + timeout
    delay = 0.02
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %ss waiting for %s" % (timeout, what))
        time.sleep(delay)
        delay = min(delay * 1.5, 0.25)


def end_process(proc, timeout=10):
    """Asks the server `proc` to end, and ends it if it has not after `timeout` seconds."""
    proc.terminate()
    try:
        proc.wait(timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Display:
    """An Xvfb screen of its own (24-bit, no key auto-repeat), for the life of the object."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.start_server(["Xvfb", "-screen", "0", "%dx%dx24" % (width, height), "-r",
                           "-nolisten", "tcp", "-noreset"])

    def start_server(self, command):
        """Starts the X server `command` on a display number it picks itself (-displayfd)."""
        r, w = os.pipe()
        self.proc = subprocess.Popen(command[:1] + ["-displayfd", str(w)] + command[1:],
                                     pass_fds=(w,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(w)
        with os.fdopen(r) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("%s did not start" % command[0])
        self.name = ":" + number

    def run(self, *args, check=True):
        env = dict(os.environ, DISPLAY=self.name)
        return subprocess.run(list(args), env=env, check=check, capture_output=True, text=True,
                              timeout=30)

    def xdotool(self, *args, check=True):
        return self.run("xdotool", *args, check=check).stdout

    def key(self, name):
        self.xdotool("key", name)

    def root_window(self):
        if not hasattr(self, "_root"):
            out = self.run("xwininfo", "-root").stdout
            self._root = int(out.split("Window id:")[1].split()[0], 16)
        return self._root

    def visible_windows(self):
        """Ids of the mapped top-level windows of any client, without the root."""
        out = self.run("xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--name", "",
                       check=False).stdout
        return [int(w) for w in out.split() if int(w) != self.root_window()]

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def full_screen_windows(self):
        found = []
        for w in self.visible_windows():
            try:
                x, y, width, height = self.geometry(w)
            except (subprocess.CalledProcessError, KeyError):
                continue   # gone in the meantime
            if x <= 0 and y <= 0 and width >= self.width and height >= self.height:
                found.append(w)
        return found

    def screenshot(self, name=None):
        """The whole screen as a Screenshot; saved as PNG under ARTIFACTS when named."""
        raw = subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8", "ppm:-"],
                             check=True, capture_output=True, timeout=30).stdout
        shot = Screenshot(raw)
        if name:
            os.makedirs(ARTIFACTS, exist_ok=True)
            path = os.path.join(ARTIFACTS, "%s-%s.png" % (KIND, name))
            subprocess.run(["convert", "ppm:-", path], input=raw, check=True, timeout=30)
        return shot

    def close(self):
        end_process(self.proc)


class MonitorsDisplay(Display):
    """An X server of its own with one wide screen divided into monitors, as a desk with several
    screens has them: Xorg with the dummy video driver (root only), its screen split with
    `xrandr --setmonitor`. `monitors` lists (width, height, x, y), the first the primary one."""

    CONFIG = """Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  Modeline "screen" 100.0 {w} {w1} {w2} {w3} {h} {h1} {h2} {h3}
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual {w} {h}
    Modes "screen"
  EndSubSection
EndSection
Section "ServerFlags"
  Option "AutoAddDevices" "false"
EndSection
"""

    def __init__(self, monitors):
        self.monitors = monitors
        width = max(x + w for w, h, x, y in monitors)
        height = max(y + h for w, h, x, y in monitors)
        self.width, self.height = width, height
        self.folder = tempfile.mkdtemp(prefix="quildor-xorg-")
        config = os.path.join(self.folder, "xorg.conf")
        with open(config, "w", encoding="utf-8") as f:
            f.write(self.CONFIG.format(w=width, w1=width + 8, w2=width + 16, w3=width + 24,
                                       h=height, h1=height + 2, h2=height + 4, h3=height + 6))
        self.start_server(["Xorg", "-config", config, "-configdir", self.folder,
                           "-logfile", os.path.join(self.folder, "Xorg.log"), "-sharevts",
                           "-noreset", "-nolisten", "tcp", "-ardelay", "60000"])
        output = self.run("xrandr").stdout.split("\n")[1].split()[0]
        for i, (mw, mh, mx, my) in enumerate(monitors):
            self.run("xrandr", "--setmonitor", "MONITOR%d" % i,
                     "%d/%dx%d/%d+%d+%d" % (mw, mw // 4, mh, mh // 4, mx, my),
                     output if i == 0 else "none")

    def close(self):
        super().close()
        shutil.rmtree(self.folder, ignore_errors=True)


class WindowWatch:
    """Notes, as the X server reports them, when top-level windows of `display` leave the screen
    (unmapped or destroyed): xev on the root window, read as the events come, so that a time is
    taken to the millisecond without polling. For the life of the object."""

    def __init__(self, display):
        self.gone = {}
        self.proc = subprocess.Popen(["xev", "-root", "-event", "substructure"],
                                     env=dict(os.environ, DISPLAY=display.name),
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        event = None
        for line in self.proc.stdout:
            if "Notify event" in line:
                event = line.split()[0]
            # Every window such an event names (the root, which reports it, among them).
            if event in ("UnmapNotify", "DestroyNotify"):
                for value in re.findall(r"window (0x[0-9a-f]+)", line):
                    self.gone.setdefault(int(value, 16), time.monotonic())

    def wait_gone(self, window, timeout):
        """The monotonic time at which `window` left the screen; waits up to `timeout` seconds."""
        return wait_for(lambda: self.gone.get(window), timeout, "the window %#x to go" % window)

    def close(self):
        self.proc.kill()
        self.proc.wait()
        self.thread.join(10)
        self.proc.stdout.close()


def screenshot_of(raw, name=None):
    """The PPM image `raw` as a Screenshot; saved as NAME.png under ARTIFACTS when named."""
    if name:
        os.makedirs(ARTIFACTS, exist_ok=True)
        subprocess.run(["convert", "ppm:-", os.path.join(ARTIFACTS, "%s.png" % name)],
                       input=raw, check=True, timeout=30)
    return Screenshot(raw)


class Screenshot:
    def __init__(self, ppm):
        # P6 header: magic, width, height, maxval, each separated by white space.
        parts = []
        pos = 0
        while len(parts) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not ppm[pos:pos + 1].isspace():
                pos += 1
            parts.append(ppm[start:pos])
        self.width, self.height = int(parts[1]), int(parts[2])
        self.data = ppm[pos + 1:]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, x0, y0, x1, y1, predicate, step=1):
        n = 0
        for y in range(max(0, y0), min(self.height, y1), step):
            for x in range(max(0, x0), min(self.width, x1), step):
                if predicate(self.pixel(x, y)):
                    n += 1
        return n


class Program:
    """One run of the program under test, with settings of its own."""

    _count = 0

    def __init__(self, display, args=(), settings=None, home=None, exe=None, env=None,
                 unprivileged=False):
        self.display = display
        self.home = home or tempfile.mkdtemp(prefix="quildor-e2e-")
        Program._count += 1
        self.event_log = os.path.join(self.home, "events-%d.log" % Program._count)
        exe = exe or EXE
        env = dict(os.environ, DISPLAY=display.name, **(env or {}))
        env["QUILDOR_EVENT_LOG"] = native_path(self.event_log)
        if KIND == "wine":
            env["WINEDEBUG"] = "-all"
            env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
            if settings is not None:
                set_wine_settings(settings, env)
            cmd = [WINE, exe] + list(args)
        else:
            env["XDG_CONFIG_HOME"] = os.path.join(self.home, "config")
            env["XDG_RUNTIME_DIR"] = os.path.join(self.home, "runtime")
            os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
            if settings is not None:
                set_linux_settings(settings, env["XDG_CONFIG_HOME"])
            cmd = [exe] + list(args)
        self.env = env
        user = {}
        if unprivileged and KIND == "linux" and SWITCHES_USER:
            # A copy of the program in the home it is handed, which "nobody" can reach wherever
            # the build folder is; made once, since a running program's file cannot be rewritten.
            env["HOME"] = self.home
            cmd[0] = os.path.join(self.home, os.path.basename(exe))
            if not os.path.exists(cmd[0]):
                shutil.copy(exe, cmd[0])
            hand_over(self.home)
            user = AS_NOBODY
        self.proc = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, **user)

    def running(self):
        return self.proc.poll() is None

    def close_from_outside(self):
        """Closes the program's windows as the system does at log-off (Windows: WM_CLOSE to each
        of its windows; Linux: SIGTERM, which the program takes as the same request)."""
        if KIND == "wine":
            wine_run([os.environ["QUILDOR_SEND_CLOSE"]], self.env, check=True)
        else:
            self.proc.send_signal(signal.SIGTERM)

    def events(self):
        """The lines of the program's event log: "Form1 - MouseMove", "ShowCursor 1", ..."""
        try:
            with open(self.event_log, encoding="utf-8") as f:
                return [line.strip() for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def wait_for_events(self, line, count, timeout=WINDOW_TIMEOUT):
        """Waits until `line` stands `count` times in the event log."""
        def enough():
            n = self.events().count(line)
            if n > count:
                raise AssertionError("%r came %d times, expected %d: %s"
                                     % (line, n, count, self.events()))
            return n == count
        wait_for(enough, timeout, "%d x %r in the event log" % (count, line))

    def wait_exit(self, timeout=WINDOW_TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end within %ss" % timeout)

    def kill(self):
        if self.running():
            self.proc.kill()
            self.proc.wait()


class Session:
    """A display and the programs started on it; everything ends with the session."""

    def __init__(self, width=1024, height=768, unprivileged=False, display=None):
        """unprivileged: the Linux program runs as "nobody" (see SWITCHES_USER); display: one
        made by the caller (a MonitorsDisplay), which the session then ends."""
        self.display = display or Display(width, height)
        self.programs = []
        self.home = tempfile.mkdtemp(prefix="quildor-e2e-")
        self.unprivileged = unprivileged
        self.holders = []

    def start(self, args=(), settings=None, exe=None, env=None):
        p = Program(self.display, args, settings, home=self.home, exe=exe, env=env,
                    unprivileged=self.unprivileged)
        self.programs.append(p)
        return p

    def make_unreadable(self, path):
        """Makes the file at `path` (in the session's home, which its programs can reach) one
        the session's programs cannot read, until the session ends: on Linux by its mode (the
        session's programs run unprivileged), under Wine (which runs as root) by another program
        holding it open without sharing it."""
        if KIND == "wine":
            holder = subprocess.Popen([WINE, os.environ["QUILDOR_HOLD_FILE"], native_path(path)],
                                      env=wine_env(self.display), stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True)
            self.holders.append(holder)
            if holder.stdout.readline().strip() != "held":
                raise AssertionError("could not hold %s open" % path)
        else:
            assert self.unprivileged or not SWITCHES_USER, "a privileged user reads every file"
            os.chmod(path, 0)

    def wait_for_window(self, program, title):
        def shown():
            if not program.running():
                raise AssertionError("the program ended with %s before showing %r"
                                     % (program.proc.returncode, title))
            return self.display.run("xdotool", "search", "--onlyvisible", "--name",
                                    "^%s$" % title, check=False).stdout.split()
        return int(wait_for(shown, WINDOW_TIMEOUT, "the window %r" % title)[0])

    def message_boxes(self, title):
        """The program's message boxes titled `title` that stand: visible windows of that title,
        and on Linux the boxes drawn inside a slide show ("inside-N": the session's N-th program
        has one open, as its event log tells)."""
        found = self.display.run("xdotool", "search", "--onlyvisible", "--name", "^%s$" % title,
                                 check=False).stdout.split()
        for n, p in enumerate(self.programs):
            notes = [e for e in p.events() if e.startswith("Box ")]
            if p.running() and notes and notes[-1] == "Box inside " + title:
                found.append("inside-%d" % n)
        return found

    def answer_box(self, box, title):
        """Presses Enter in the message box `box` and waits until it is gone."""
        if not box.startswith("inside-"):   # a box inside the show has the keyboard already
            self.display.xdotool("windowfocus", "--sync", box, check=False)
        self.display.xdotool("key", "Return")
        wait_for(lambda: box not in self.message_boxes(title), WINDOW_TIMEOUT, "the box to close")

    def wait_for_slide_show(self, program):
        def shown():
            if not program.running():
                out = program.proc.stdout.read().decode(errors="replace")
                raise AssertionError("the program ended with %s before showing a window: %s"
                                     % (program.proc.returncode, out))
            return self.display.full_screen_windows()
        return wait_for(shown, WINDOW_TIMEOUT, "the full-screen window")[0]

    def close(self):
        for p in self.programs:
            p.kill()
            p.proc.stdout.close()
        for holder in self.holders:
            holder.stdin.close()
            holder.stdout.close()
        end_wine()
        for holder in self.holders:
            holder.wait(60)
        self.display.close()
        shutil.rmtree(self.home, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# Debian's Python, for which python3-dbus is installed (the tests' own may be another).
SYSTEM_PYTHON = "/usr/bin/python3"


def bus_name_process(address, name):
    """The process number of the program that owns the bus name `name` on the D-Bus bus at
    `address`, or None where no program does."""
    out = subprocess.run(
        [SYSTEM_PYTHON, "-c", "import dbus, sys\n"
         "try:\n print(dbus.bus.BusConnection(sys.argv[1]).call_blocking('org.freedesktop.DBus',"
         " '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'GetConnectionUnixProcessID', 's',"
         " (sys.argv[2],)))\n"
         "except dbus.exceptions.DBusException:\n pass", address, name],
        capture_output=True, text=True, timeout=30).stdout.strip()
    return int(out) if out else None


class SessionBus:
    """A D-Bus bus of the test's own (dbus-daemon), on which no desktop runs any service until
    the test starts one; `address` is its address. Also stands in for the system bus."""

    def __init__(self):
        self.daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                       text=True)
        self.address = self.daemon.stdout.readline().strip()

    def owned(self, name):
        return bus_name_process(self.address, name) is not None

    def close(self):
        end_process(self.daemon)
        self.daemon.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()


def copies():
    """The slide shows (processes of the program under test) running now."""
    exe = os.path.realpath(EXE)
    found = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            found += os.readlink("/proc/%s/exe" % pid) == exe
        except OSError:
            pass
    return found


def check_show_after_each_idle_period(test, s, watcher):
    """`watcher`, an idle daemon started in session `s`, starts the slide show after idle; a key
    ends it; it starts again after the next idle period; never two copies at once."""
    most = 0
    for count in (1, 2):
        def shown():
            nonlocal most
            n = copies()
            most = max(most, n)
            if not watcher.running():
                raise AssertionError("the watcher ended: %s" % watcher.proc.stdout.read())
            events = watcher.events()
            return n == 1 and events.count("Painted Form1") == events.count("Keyboard") == count
        wait_for(shown, WINDOW_TIMEOUT, "show %d after idle, with the keyboard" % count)
        s.display.key("space")
        wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
    test.assertEqual(most, 1, "never two copies at once")
    test.assertTrue(watcher.running(), "the watcher goes on")


def main_reporting_skips():
    """Runs the calling script's tests; where some could not run here (and none failed), exits
    with status 77 and their reasons, so that CTest reports the group as skipped, never passed."""
    import sys
    import unittest
    program = unittest.main(verbosity=2, exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.skipped:
        print("skipped: " + "; ".join(sorted({why for _, why in result.skipped})))
        sys.exit(77)
    sys.exit(0)
