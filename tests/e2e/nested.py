"""The compositors of today's desktops, each running as windows inside an Xvfb of the tests' own:
weston, kwin (KDE Plasma's) and mutter (GNOME's), with two outputs side by side, the first at the
layout's origin, and Xwayland for X11 programs where asked. Screenshots are the Xvfb's, cut to an
output; keys, clicks and moves are xdotool's on the Xvfb, which the compositor takes as its own
input. Each runs as root, with a session bus of its own where it needs one.

Raises unittest.SkipTest, with the reason, where the compositor is not installed."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from harness import Display, end_process, end_session_processes, screenshot_of, wait_for

TIMEOUT = 60
BINARIES = {"weston": "weston", "kwin": "kwin_wayland", "mutter": "mutter"}


def _weston_version():
    out = subprocess.run(["weston", "--version"], capture_output=True, text=True, timeout=30)
    return int(re.search(r"(\d+)\.", out.stdout + out.stderr).group(1))


class Nested(Display):
    """kind: "weston", "kwin" or "mutter". outputs: (name, width, height) of the two outputs, in
    the compositor's layout left to right; `name` is the X display that X11 programs use (its
    Xwayland's), empty when xwayland is False; `env` is what a client of the compositor needs."""

    def __init__(self, kind, xwayland):
        binary = BINARIES[kind]
        if not shutil.which(binary):
            raise unittest.SkipTest("%s is not installed" % binary)
        self.kind = kind
        second = (800, 600) if kind == "weston" else (1024, 768)
        self.outputs = [("first", 1024, 768, 0), ("second", second[0], second[1], 1024)]
        super().__init__(1024 + second[0], 768)
        self.xvfb = self.name
        self.home = tempfile.mkdtemp(prefix="quildor-%s-" % kind)
        self.runtime = os.path.join(self.home, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.log = open(os.path.join(self.home, "compositor.log"), "w")
        self.bus = None
        self.compositor = None
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
            self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork",
                                         "--print-address=1"], stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()
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
        elif self.kind == "kwin":
            # kwin_wayland carries a file capability that a container's bounding set may refuse
            # to a program being started; a copy has none.
            kwin = os.path.join(self.home, "kwin_wayland")
            shutil.copy(shutil.which("kwin_wayland"), kwin)
            command = [kwin, "--x11-display", self.xvfb, "--width", "1024", "--height", "768",
                       "--output-count", "2", "--socket", socket] + \
                      (["--xwayland"] if xwayland else []) + [start]
        else:
            env.update(MUTTER_DEBUG_NUM_DUMMY_MONITORS="2",
                       MUTTER_DEBUG_DUMMY_MODE_SPECS="1024x768")
            command = (["mutter", "--nested", "--wayland", "--wayland-display", socket]
                       + ([] if xwayland else ["--no-x11"]) + ["--", start])
        self._command, self._compositor_env, self._told_file = command, env, told
        self.compositor = subprocess.Popen(command, env=env, stdout=self.log,
                                           stderr=subprocess.STDOUT)
        display, authority = wait_for(lambda: self._told(told), TIMEOUT,
                                      "%s to start its session" % self.kind).split(" ", 1)
        self.env = {"WAYLAND_DISPLAY": os.path.join(self.runtime, socket),
                    "DBUS_SESSION_BUS_ADDRESS": env.get("DBUS_SESSION_BUS_ADDRESS", "")}
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
        os.remove(self._told_file)
        self.compositor = subprocess.Popen(self._command, env=self._compositor_env,
                                           stdout=self.log, stderr=subprocess.STDOUT)
        wait_for(lambda: self._told(self._told_file), TIMEOUT, "%s to start again" % self.kind)

    def _told(self, told):
        if not self.alive():
            raise AssertionError("%s ended: %s" % (self.kind, self.log_text()[-600:]))
        if os.path.exists(told):
            with open(told) as f:
                return f.read().rstrip("\n")

    def run(self, *args, check=True):
        """Runs an X client (xdotool, say) on the Xvfb, where the compositor takes its input."""
        return subprocess.run(list(args), env=dict(os.environ, DISPLAY=self.xvfb), check=check,
                              capture_output=True, text=True, timeout=30)

    def _place_windows(self):
        """Puts the compositor's window for each output where the output stands in its layout
        (weston and kwin open them all at the Xvfb's origin; mutter's one window holds both)."""
        if self.kind == "mutter":
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
        # The command it started (and its Xwayland, if it left one) outlives it.
        end_session_processes(self.runtime)
        if self.bus:
            end_process(self.bus)
            self.bus.stdout.close()
        self.log.close()
        super().close()
        shutil.rmtree(self.home, ignore_errors=True)
