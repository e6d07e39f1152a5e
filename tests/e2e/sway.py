"""A Wayland compositor of the tests' own: headless sway (wlroots, software rendering) with the
outputs a test asks for, a magenta background, Xwayland for X11 programs, a standing virtual
keyboard (wtype) and a virtual pointer (virtual-pointer, built with the tests). sway refuses to
run as root, so it runs as "nobody" with a runtime folder of its own; the programs under test
connect to its socket by its full path.

Raises unittest.SkipTest, with the reason, where sway cannot run here."""
import json
import os
import pwd
import shutil
import subprocess
import tempfile
import unittest

from harness import (AS_NOBODY, NOBODY, SWITCHES_USER, end_process, end_session_processes,
                     screenshot_of, wait_for)

MAGENTA = (255, 0, 255)
POINTER = os.environ.get("QUILDOR_VIRTUAL_POINTER", "")


def _no_scanout_flag():
    probe = subprocess.run(["sway", "-D", "noscanout", "--version"], capture_output=True,
                           text=True, timeout=30)
    return [] if "noscanout" in probe.stdout + probe.stderr else ["-D", "noscanout"]


class Sway:
    """outputs: (name, width, height, x, y, scale) of each; the slide show belongs on the one at
    (0, 0), whatever order sway announces them in. `name` is the Xwayland display, once X11
    programs are to run (xwayland=True)."""

    def __init__(self, outputs, xwayland=False):
        for tool in ("sway", "grim", "wtype", "swaymsg"):
            if not shutil.which(tool):
                raise unittest.SkipTest("%s is not installed" % tool)
        if not SWITCHES_USER:
            raise unittest.SkipTest("sway needs an unprivileged user the tests can switch to")
        if not POINTER:
            raise unittest.SkipTest("no virtual pointer client was built")
        self.outputs = outputs
        self.home = tempfile.mkdtemp(prefix="quildor-sway-")
        os.chmod(self.home, 0o755)
        self.runtime = os.path.join(self.home, "runtime")
        os.mkdir(self.runtime, 0o700)
        config = os.path.join(self.home, "config")
        with open(config, "w") as f:
            f.write("xwayland %s\n" % ("enable" if xwayland else "disable"))
            f.write("default_border none\nfocus_follows_mouse no\n")
            for name, w, h, x, y, scale in outputs:
                f.write("output %s resolution %dx%d position %d %d scale %s\n"
                        % (name, w, h, x, y, scale))
            f.write("output * bg #ff00ff solid_color\n")
        os.chown(self.home, NOBODY.pw_uid, NOBODY.pw_gid)
        os.chown(self.runtime, NOBODY.pw_uid, NOBODY.pw_gid)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home,
               "XDG_RUNTIME_DIR": self.runtime, "WLR_BACKENDS": "headless",
               "WLR_RENDERER": "pixman", "WLR_HEADLESS_OUTPUTS": str(len(outputs)),
               "WLR_LIBINPUT_NO_DEVICES": "1"}
        self.log = open(os.path.join(self.home, "sway.log"), "w")
        # Without direct scan-out: a full-screen window's buffer would go to the output as it is,
        # and the screenshots would show the output's last composed frame instead. sway 1.7 turns
        # it off with a debug flag, which later versions reject; wlroots from 0.17 on, with a
        # variable.
        env["WLR_SCENE_DISABLE_DIRECT_SCANOUT"] = "1"
        self.proc = subprocess.Popen(["sway"] + _no_scanout_flag() + ["-c", config], env=env,
                                     stdout=self.log, stderr=subprocess.STDOUT, **AS_NOBODY)
        self.helpers = []
        try:
            self.socket = wait_for(self._socket, 30, "sway's socket")
            self.env = {"WAYLAND_DISPLAY": os.path.join(self.runtime, self.socket),
                        "SWAYSOCK": self._ipc()}
            self.client_env = dict(os.environ, **self.env)
            wait_for(lambda: self.active_outputs() == len(outputs), 30, "sway's outputs")
            self.name = self._xwayland() if xwayland else ""
            self.keyboard = self.helper(["wtype", "-s", "4000000"])
            # Absolute positions span the layout, in logical pixels.
            extent = [max(x + w / s for _, w, _, x, _, s in outputs),
                      max(y + h / s for _, _, h, _, y, s in outputs)]
            self.pointer = self.helper([POINTER] + [str(int(e)) for e in extent],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            if self.pointer.stdout.readline().strip() != b"ready":
                raise AssertionError("the virtual pointer did not start")
        except Exception:
            self.close()
            raise

    @classmethod
    def check(cls):
        """Raises unittest.SkipTest where sway cannot run here."""
        cls([("HEADLESS-1", 640, 480, 0, 0, 1)]).close()

    def _socket(self):
        if self.proc.poll() is not None:
            raise unittest.SkipTest("sway cannot run here: %s" % self.log_text()[-400:])
        names = [n for n in os.listdir(self.runtime) if n.startswith("wayland-")
                 and not n.endswith(".lock")]
        return names[0] if names else None

    def _ipc(self):
        return wait_for(lambda: [os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                 if n.startswith("sway-ipc")], 30, "sway's IPC socket")[0]

    def _xwayland(self):
        """Xwayland's display, as sway gives it to the programs it starts. Xwayland takes
        clients of its own user only; the tests' programs (root's) are let in too."""
        out = os.path.join(self.home, "display")
        self.exec("xhost +si:localuser:%s >/dev/null && echo $DISPLAY > %s.new && mv %s.new %s"
                  % (pwd.getpwuid(os.getuid()).pw_name, out, out, out))
        def display():
            if os.path.exists(out):
                with open(out) as f:
                    return f.read().strip()
        return wait_for(display, 30, "Xwayland's display")

    def log_text(self):
        self.log.flush()
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def helper(self, command, **kwargs):
        """Starts `command` as a client of the compositor, for the life of the compositor."""
        p = subprocess.Popen(command, env=self.client_env, **kwargs)
        self.helpers.append(p)
        return p

    def msg(self, *args):
        return subprocess.run(["swaymsg"] + list(args), env=self.client_env,
                              capture_output=True, text=True, timeout=30, check=True).stdout

    def exec(self, line):
        """Runs `line` (a shell command) as the compositor starts programs."""
        script = os.path.join(self.home, "exec-%d.sh" % len(os.listdir(self.home)))
        with open(script, "w") as f:
            f.write("#!/bin/sh\n%s\n" % line)
        os.chmod(script, 0o755)
        self.msg("exec", script)

    def focused_app(self):
        """The app_id of the window that has the keyboard focus, or None."""
        def find(node):
            if node.get("focused"):
                return node.get("app_id")
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = find(child)
                if found:
                    return found
        return find(json.loads(self.msg("-t", "get_tree")))

    def power(self, on):
        """Powers every output on or off (sway 1.10's `power`, 1.7's `dpms`); whether sway says
        they are now (sway 1.7 cannot power its headless outputs off: the command fails)."""
        state = "on" if on else "off"
        try:
            self.msg("output", "*", "power", state)
        except subprocess.CalledProcessError:
            self.msg("output", "*", "dpms", state)
        outputs = json.loads(self.msg("-t", "get_outputs"))
        return all(o.get("power", o.get("dpms")) == on for o in outputs)

    def active_outputs(self):
        return self.msg("-t", "get_outputs").count('"active": true')

    def screenshot(self, output, name=None):
        """One output as a Screenshot, in device pixels, with the pointer where it is over it;
        saved as PNG under ARTIFACTS if named."""
        args = ["grim", "-t", "ppm", "-o", output, "-"]
        raw = subprocess.run(args, env=self.client_env, check=True, capture_output=True,
                             timeout=30).stdout
        return screenshot_of(raw, name)

    def key(self, name):
        subprocess.run(["wtype", "-k", name], env=self.client_env, check=True, timeout=30)

    def _point(self, command):
        self.pointer.stdin.write(command.encode() + b"\n")
        self.pointer.stdin.flush()
        if self.pointer.stdout.readline().strip() != b"ok":
            raise AssertionError("the virtual pointer did not take %r" % command)

    def move(self, x, y):
        """Puts the pointer at (x, y) of the layout, in logical pixels."""
        self._point("move %d %d" % (x, y))

    def click(self):
        self._point("click")

    def close(self):
        for p in self.helpers:
            p.kill()
            p.wait()
            for f in (p.stdin, p.stdout):
                if f:
                    f.close()
        end_process(self.proc, 30)
        # What it started (Xwayland, the programs of `exec`) outlives it.
        end_session_processes(self.runtime)
        self.log.close()
        shutil.rmtree(self.home, ignore_errors=True)
