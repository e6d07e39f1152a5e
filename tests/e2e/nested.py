"""The compositors of today's desktops, each running as windows inside an Xvfb of the tests' own:
weston, kwin (KDE Plasma's) and mutter (GNOME's), with two outputs side by side, the first at the
layout's origin, and Xwayland for X11 programs where asked. Two desktops run with the services
that programs ask on their session bus, each the desktop's own program: "gnome" (GNOME Shell, its
session manager and its org.freedesktop.ScreenSaver, on one output, with a second bus standing in
for the system bus, without which GNOME Shell will not start) and "plasma" (kwin, which owns
org.freedesktop.ScreenSaver there, and Plasma's power management). Screenshots are the Xvfb's,
cut to an output; keys, clicks and moves are xdotool's on the Xvfb, which the compositor takes as
its own input. Each runs as root, with a session bus of its own where it needs one.

Raises unittest.SkipTest, with the reason, where the compositor is not installed."""
import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile
import unittest

from harness import (SYSTEM_PYTHON, Display, SessionBus, bus_name_process, end_process,
                     end_session_processes, processes, screenshot_of, wait_for)

TIMEOUT = 60
BINARIES = {"weston": "weston", "kwin": "kwin_wayland", "mutter": "mutter",
            "gnome": "gnome-shell", "plasma": "kwin_wayland_wrapper"}
COMPOSITORS = ("weston", "kwin", "mutter")
# The desktops' services beside their compositor, and the bus name each owns once it serves.
SERVICES = {
    "gnome": [("/usr/libexec/gsd-screensaver-proxy", "org.freedesktop.ScreenSaver")],
    "plasma": [("/usr/lib/*/libexec/org_kde_powerdevil",
                "org.kde.Solid.PowerManagement.PolicyAgent")],
}
GNOME_SESSION = "/usr/libexec/gnome-session-binary"


def _weston_version():
    out = subprocess.run(["weston", "--version"], capture_output=True, text=True, timeout=30)
    return int(re.search(r"(\d+)\.", out.stdout + out.stderr).group(1))


class Nested(Display):
    """kind: "weston", "kwin", "mutter", "gnome" or "plasma". outputs: (name, width, height) of
    the outputs (two; GNOME Shell's one), in the compositor's layout left to right; `name` is
    the X display that X11 programs use (its Xwayland's), empty when xwayland is False; `env` is
    what a client of the compositor needs."""

    def __init__(self, kind, xwayland):
        binary = BINARIES[kind]
        if kind == "gnome" and xwayland:
            raise ValueError("GNOME Shell runs here without Xwayland: it starts no command that "
                             "would tell the test its X display")
        if not shutil.which(binary):
            raise unittest.SkipTest("%s is not installed" % binary)
        for pattern, _ in SERVICES.get(kind, []) + [(GNOME_SESSION, "")] * (kind == "gnome"):
            if not glob.glob(pattern):
                raise unittest.SkipTest("%s is not installed" % os.path.basename(pattern))
        self.kind = kind
        second = (800, 600) if kind == "weston" else (1024, 768)
        self.outputs = [("first", 1024, 768, 0)]
        if kind != "gnome":
            self.outputs.append(("second", second[0], second[1], 1024))
        super().__init__(sum(o[1] for o in self.outputs), 768)
        self.xvfb = self.name
        self.home = tempfile.mkdtemp(prefix="quildor-%s-" % kind)
        self.runtime = os.path.join(self.home, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.log = open(os.path.join(self.home, "compositor.log"), "w")
        self.bus = None
        self.system_bus = None
        self.compositor = None
        self.services = []   # the desktop's programs beside its compositor, started by the test
        self._starts = 0   # GNOME Shell's starts so far
        try:
            self._start(xwayland)
        except Exception:
            self.close()
            raise

    def _start(self, xwayland):
        socket = "wayland-quildor"
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
               "DISPLAY": self.xvfb, "XDG_RUNTIME_DIR": self.runtime, "LANG": "C.UTF-8"}
        if self.kind != "weston":
            # A session bus of the test's own, ended with the compositor.
            self.bus = SessionBus()
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        # The command a compositor starts once it runs tells the test the X display (and the
        # X authority) it hands its clients.
        told = os.path.join(self.home, "told")
        start = os.path.join(self.home, "start.sh")
        with open(start, "w") as f:
            f.write('#!/bin/sh\necho "$DISPLAY $XAUTHORITY" > %s.new\nmv %s.new %s\n'
                    'exec sleep 100000\n' % (told, told, told))
        os.chmod(start, 0o755)
        if self.kind == "weston":
            ini = os.path.join(self.home, "weston.ini")
            with open(ini, "w") as f:
                f.write("[core]\nidle-time=0\n")
                for n, (_, w, h, _) in enumerate(self.outputs, 1):
                    f.write("[output]\nname=X%d\nmode=%dx%d\n" % (n, w, h))
                f.write("[autolaunch]\npath=%s\n" % start)
            # Debian 12's weston 10 names the backend's module and has --use-pixman; later ones
            # take the backend's name and --renderer.
            if _weston_version() >= 11:
                backend = ["--backend=x11", "--renderer=pixman"]
            else:
                backend = ["--backend=x11-backend.so", "--use-pixman"]
            command = (["weston"] + backend + ["--output-count=2", "-c", ini, "--socket=" + socket]
                       + (["--xwayland"] if xwayland else []))
        elif self.kind in ("kwin", "plasma"):
            # kwin_wayland carries a file capability that a container's bounding set may refuse
            # to a program being started; a copy has none.
            kwin = os.path.join(self.home, "kwin_wayland")
            shutil.copy(shutil.which("kwin_wayland"), kwin)
            options = ["--x11-display", self.xvfb, "--width", "1024", "--height", "768",
                       "--output-count", "2"] + (["--xwayland"] if xwayland else []) + [start]
            if self.kind == "kwin":
                command = [kwin, "--socket", socket] + options
            else:
                # As Plasma's session starts it: under its wrapper, which holds the socket
                # (its first free name) and starts kwin again after a crash, the clients'
                # connections kept waiting. It finds kwin_wayland on PATH: the copy.
                env["PATH"] = self.home + os.pathsep + env["PATH"]
                command = ["kwin_wayland_wrapper"] + options
                socket = "wayland-0"
        elif self.kind == "mutter":
            env.update(MUTTER_DEBUG_NUM_DUMMY_MONITORS="2",
                       MUTTER_DEBUG_DUMMY_MODE_SPECS="1024x768")
            command = (["mutter", "--nested", "--wayland", "--wayland-display", socket]
                       + ([] if xwayland else ["--no-x11"]) + ["--", start])
        else:
            # GNOME Shell starts no command of the test's: it has started once it owns its
            # name and its socket is there. Without a system bus it aborts; no GPU here.
            self.system_bus = SessionBus()
            config = os.path.join(self.home, "config")
            os.makedirs(os.path.join(config, "gnome-session", "sessions"))
            with open(os.path.join(config, "gnome-session", "sessions", "quildor.session"),
                      "w") as f:
                f.write("[GNOME Session]\nName=Quildor's tests\nRequiredComponents=\n")
            os.mkdir(os.path.join(self.home, "autostart"))
            env.update(DBUS_SYSTEM_BUS_ADDRESS=self.system_bus.address, XDG_CONFIG_HOME=config,
                       LIBGL_ALWAYS_SOFTWARE="1", MUTTER_DEBUG_DUMMY_MODE_SPECS="1024x768")
            command = ["gnome-shell", "--nested", "--wayland", "--wayland-display", socket] + \
                ([] if xwayland else ["--no-x11"])
        self._command, self._compositor_env, self._told_file = command, env, told
        self.compositor = subprocess.Popen(command, env=env, stdout=self.log,
                                           stderr=subprocess.STDOUT)
        display, authority = wait_for(self._told, TIMEOUT,
                                      "%s to start its session" % self.kind).split(" ", 1)
        self.env = {"WAYLAND_DISPLAY": os.path.join(self.runtime, socket),
                    "DBUS_SESSION_BUS_ADDRESS": env.get("DBUS_SESSION_BUS_ADDRESS", "")}
        self._leave_overview()
        # GNOME's session manager comes after GNOME Shell here: started first, it asks the
        # shell's idle monitor while the shell, starting, asks it, and on a busy machine both
        # wait out D-Bus's time limit (the shell's start then takes minutes). Plasma's power
        # management is a Wayland client of kwin.
        services = [([glob.glob(pattern)[0]], name)
                    for pattern, name in SERVICES.get(self.kind, [])]
        if self.kind == "gnome":
            services.insert(0, ([GNOME_SESSION, "--session=quildor",
                                 "--autostart=" + os.path.join(self.home, "autostart")],
                                "org.gnome.SessionManager"))
        for command, name in services:
            self._service(command, name, dict(env, QT_QPA_PLATFORM="wayland", **self.env))
        if xwayland:
            self.env["XAUTHORITY"] = authority or ""
        self.name = display if xwayland else ""
        # weston from 11 on keeps only the focused full-screen window above its panel; the
        # panel of every other output stands over the black cover there (natively always,
        # through Xwayland in most runs of a busy machine: it depends on the order in which
        # weston settles the windows' outputs and focus).
        self.panel_over_covers = self.kind == "weston" and _weston_version() >= 11
        self._place_windows()

    def restart(self):
        """Ends the compositor and starts it again on the same session bus and socket, as a
        desktop shell's restart does (GNOME Shell's Alt+F2 r on X11, or its crash recovery)."""
        end_process(self.compositor, 30)
        if os.path.exists(self._told_file):
            os.remove(self._told_file)
        self.compositor = subprocess.Popen(self._command, env=self._compositor_env,
                                           stdout=self.log, stderr=subprocess.STDOUT)
        wait_for(self._told, TIMEOUT, "%s to start again" % self.kind)
        self._leave_overview()

    def crash(self):
        """Plasma's kwin crashes; its wrapper starts it again on the same socket."""
        old = self._kwin()
        os.remove(self._told_file)
        os.kill(old, signal.SIGSEGV)
        wait_for(lambda: self._kwin() not in (None, old) and self._told(), TIMEOUT,
                 "kwin to start again after its crash")
        self._place_windows()   # its new windows, and the Xvfb's keyboard for the first

    def _kwin(self):
        """The kwin_wayland that Plasma's wrapper runs now."""
        found = processes("kwin_wayland", self.runtime)
        return found[0] if found else None

    def _told(self):
        """What the compositor's start-up command tells, "DISPLAY XAUTHORITY", once it runs.
        GNOME Shell runs no command of the test's: it is taken to run once it owns its bus name
        (this process, not one that has just ended)."""
        if not self.alive():
            raise AssertionError("%s ended: %s" % (self.kind, self.log_text()[-600:]))
        if self.kind == "gnome":
            owner = bus_name_process(self.bus.address, "org.gnome.Shell")
            return " " if owner == self.compositor.pid else None
        if os.path.exists(self._told_file):
            with open(self._told_file) as f:
                return f.read().rstrip("\n")

    def _service(self, command, name, env):
        """Starts one of the desktop's programs and waits until it owns `name`."""
        program = subprocess.Popen(command, env=env, stdout=self.log, stderr=subprocess.STDOUT)
        self.services.append(program)

        def serving():
            if program.poll() is not None:
                raise AssertionError("%s ended: %s" % (command[0], self.log_text()[-600:]))
            return self.bus.owned(name)
        wait_for(serving, TIMEOUT, "%s to own %s" % (os.path.basename(command[0]), name))

    def _leave_overview(self):
        """GNOME Shell may show its overview as it starts, where a new window appears as a
        thumbnail; a session in use has left it. Once this start is complete (its log says so,
        once per start), the shell is made to leave it."""
        if self.kind != "gnome":
            return
        self._starts += 1
        wait_for(lambda: self._told() and
                 self.log_text().count("GNOME Shell started at") >= self._starts, TIMEOUT,
                 "GNOME Shell to complete its start")

        def leave():
            code = ("import dbus, sys\n"
                    "p = dbus.Interface(dbus.bus.BusConnection(sys.argv[1]).get_object("
                    "'org.gnome.Shell', '/org/gnome/Shell'), 'org.freedesktop.DBus.Properties')\n"
                    "p.Set('org.gnome.Shell', 'OverviewActive', False)\n"
                    "print(int(p.Get('org.gnome.Shell', 'OverviewActive')))")
            return subprocess.run([SYSTEM_PYTHON, "-c", code, self.bus.address],
                                  capture_output=True, text=True, timeout=30).stdout.strip()
        wait_for(lambda: leave() == "0", TIMEOUT, "GNOME Shell to leave its overview")

    def run(self, *args, check=True):
        """Runs an X client (xdotool, say) on the Xvfb, where the compositor takes its input."""
        return subprocess.run(list(args), env=dict(os.environ, DISPLAY=self.xvfb), check=check,
                              capture_output=True, text=True, timeout=30)

    def _place_windows(self):
        """Puts the compositor's window for each output where the output stands in its layout
        (weston and kwin open them all at the Xvfb's origin; mutter's one window holds both)."""
        if self.kind in ("mutter", "gnome"):
            return
        windows = wait_for(lambda: self._windows(), TIMEOUT, "the compositor's two windows")
        self.xdotool("windowmove", str(windows[1]), str(self.outputs[1][3]), "0")
        self.xdotool("windowfocus", str(windows[0]))

    def _windows(self):
        """The compositor's output windows, in the order of its outputs (of their creation)."""
        tree = self.run("xwininfo", "-root", "-children").stdout
        ids = sorted(int(w, 16) for w in re.findall(r"^\s+(0x[0-9a-f]+) ", tree, re.M))
        return ids if len(ids) == 2 else None

    def alive(self):
        return self.compositor is not None and self.compositor.poll() is None

    def log_text(self):
        self.log.flush()
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def screenshot(self, output, name=None):
        """One output ("first" or "second") as a Screenshot, saved as PNG under ARTIFACTS if
        named."""
        _, w, h, x = next(o for o in self.outputs if o[0] == output)
        raw = subprocess.run(["import", "-display", self.xvfb, "-window", "root", "-crop",
                              "%dx%d+%d+0" % (w, h, x), "-depth", "8", "ppm:-"], check=True,
                             capture_output=True, timeout=30).stdout
        return screenshot_of(raw, name)

    def move(self, x, y):
        self.xdotool("mousemove", str(x), str(y))

    def click(self):
        self.xdotool("click", "1")

    def close(self):
        if self.compositor:
            end_process(self.compositor, 30)
        for program in self.services:
            end_process(program, 30)
        # The command it started (and its Xwayland, if it left one) outlives it.
        end_session_processes(self.runtime)
        for bus in (self.bus, self.system_bus):
            if bus:
                bus.close()
        self.log.close()
        super().close()
        shutil.rmtree(self.home, ignore_errors=True)
