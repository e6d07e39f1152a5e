"""quildor-idle, the idle watcher, with an idle time of 2 s on a bare X server (its idle counter),
under sway (its Wayland idle protocol: KDE's on sway 1.7, ext-idle-notify-v1 from 1.8) and under
mutter (GNOME's idle monitor): the slide show starts after idle, a key ends it, it starts again
after the next idle period, never two copies at once (counted from /proc throughout), also after
mutter restarts on the same session bus; when sway goes away, one line and status 1; under sway
a window of the test's own holding an idle inhibitor keeps it back until it lets go.

On the X server and under sway, each with a session bus of its own, where no desktop owns
org.freedesktop.ScreenSaver (as under most X11 window managers), a film player of the test's own that inhibits through it
keeps the show back over several idle periods, on either of its object paths, until it ends its
inhibition or ends without doing so; so does a player's inhibition that a stand-in of KDE
Plasma's services publishes as Plasma's power management does, and an idle inhibitor of
systemd-logind (a logind of the test's own on a system bus of its own). The desktops' own
services: under GNOME Shell with GNOME's session manager and screen-saver service, and under
kwin with Plasma's power management, a player's inhibition keeps the show back until it ends;
GNOME Shell restarting on its session bus, and kwin crashing under its wrapper, which starts it
again on the same socket, leave the watcher watching. --enable, --status and
--disable in a test home turn it on and off, at login and now, with one watcher at a time. A
show whose process lingers (its loader held by a network share that answers no interrupt) does
not keep the next show from starting after the next idle period. Under weston, which offers
none of these, one clear line and status 1. Its CPU time over a minute of idle is reported. Run
as a script: where a desktop cannot run here, it reports a skip (status 77)."""
import os
import subprocess
import sys
import time
import unittest

from harness import (EXE, Session, WINDOW_TIMEOUT, check_show_after_each_idle_period, copies,
                     SYSTEM_PYTHON, SessionBus, end_session_processes, folder_setting,
                     main_reporting_skips, processes, wait_for)
from nested import Nested
from sway import Sway
from test_slow_drive import LOADING, Drive, fuse_missing

IDLE = os.path.join(os.path.dirname(EXE), "quildor-idle")
INHIBITOR = os.environ.get("QUILDOR_IDLE_INHIBITOR", "")
PLAYER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "film_player.py")
LOGIND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_logind.py")
PLASMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_plasma.py")


class FilmPlayer:
    """film_player.py inhibiting on the session bus `address` at object `path`, until stop() or
    its end."""

    def __init__(self, address, path):
        self.proc = subprocess.Popen([SYSTEM_PYTHON, PLAYER, path],
                                     env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        said = self.proc.stdout.readline()
        if not said.startswith("inhibiting "):
            self.end()
            raise AssertionError("the film player did not inhibit: %r" % said)

    def stop(self):
        """Ends its inhibition with UnInhibit, as a player does when the film ends."""
        self.proc.stdin.write("stop\n")
        self.proc.stdin.flush()
        if self.proc.stdout.readline().strip() != "stopped":
            raise AssertionError("the film player's UnInhibit failed")

    def end(self):
        self.proc.kill()
        self.proc.wait()
        self.proc.stdin.close()
        self.proc.stdout.close()


def no_show_for(test, seconds, why):
    """No slide show runs at any moment of the next `seconds` (the test's window, not a wait)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        test.assertEqual(copies(), 0, why)
        time.sleep(0.2)


class IdleWatcher(unittest.TestCase):
    def starts_after_each_idle_period(self, s, env=None):
        check_show_after_each_idle_period(
            self, s, s.start(["2"], {"Interval": "60"}, exe=IDLE, env=env))

    def test_x_server(self):
        with Session() as s:
            self.starts_after_each_idle_period(s)

    def test_x_server_next_show_while_the_last_lingers(self):
        if fuse_missing():
            raise unittest.SkipTest(fuse_missing())
        # The photographs on a network share whose server has gone, and which answers no
        # interrupt (sshfs): each show's loader is held at the folder's first listing for ever.
        with Session() as s, Drive(["deaf", "list", "forever"]) as drive:   # the drive ends first
            watcher = s.start(["2"], {"Interval": "1", "QuildorsDir": folder_setting(drive.folder)},
                              exe=IDLE)
            for count in (1, 2):
                wait_for(lambda: watcher.events().count("Painted Form1") ==
                         watcher.events().count("Keyboard") == count and
                         watcher.events().count(LOADING) >= count, WINDOW_TIMEOUT,
                         "show %d after idle with the keyboard, its photograph loading" % count)
                s.display.key("space")
                wait_for(lambda: not s.display.full_screen_windows(), WINDOW_TIMEOUT,
                         "the screen given back")
                self.assertEqual(copies(), 0)
            self.assertEqual(len(processes("quildor")), 2, "both shows' processes linger")
            self.assertTrue(watcher.running(), "the watcher goes on")

    def test_x_server_players_inhibit_over_the_session_bus(self):
        if subprocess.run([SYSTEM_PYTHON, "-c", "import dbus"], capture_output=True).returncode:
            raise unittest.SkipTest("python3-dbus, the film player's bus library, is missing")
        with Session() as s, SessionBus() as bus:
            env = {"DBUS_SESSION_BUS_ADDRESS": bus.address}
            watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE, env=env)
            wait_for(lambda: bus.owned("org.freedesktop.ScreenSaver"), WINDOW_TIMEOUT,
                     "the watcher to take org.freedesktop.ScreenSaver, which no one owns")
            for count, (path, ends) in enumerate((("/org/freedesktop/ScreenSaver", "stop"),
                                                  ("/ScreenSaver", "kill")), 1):
                player = FilmPlayer(bus.address, path)
                # Three idle periods of 2 s pass while the film plays.
                no_show_for(self, 6, "no slide show while a player inhibits it at " + path)
                ended = time.monotonic()
                if ends == "stop":
                    player.stop()
                else:
                    player.end()
                wait_for(lambda: copies() == 1 and watcher.events().count("Keyboard") == count,
                         WINDOW_TIMEOUT,
                         "the show, with the keyboard, once the player's inhibition ended (%s)"
                         % ends)
                self.assertGreaterEqual(time.monotonic() - ended, 1.5,
                                        "the idle time runs from the inhibition's end")
                s.display.key("space")
                wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
                player.end()
            self.assertTrue(watcher.running(), "the watcher goes on")

    def test_x_server_plasma_inhibitions(self):
        if subprocess.run([SYSTEM_PYTHON, "-c", "import dbus, gi"], capture_output=True).returncode:
            raise unittest.SkipTest("python3-dbus or python3-gi, the fake Plasma's, is missing")
        # Plasma's services as their interfaces publish them (not Plasma itself, which does not
        # run here): KWin owns org.freedesktop.ScreenSaver and Plasma's power management tells.
        with Session() as s, SessionBus() as bus:
            env = {"DBUS_SESSION_BUS_ADDRESS": bus.address}
            plasma = subprocess.Popen([SYSTEM_PYTHON, PLASMA], env=dict(os.environ, **env),
                                      stdout=subprocess.PIPE, text=True)
            try:
                self.assertEqual(plasma.stdout.readline().strip(), "ready")
                watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE, env=env)
                player = FilmPlayer(bus.address, "/org/freedesktop/ScreenSaver")
                no_show_for(self, 6, "no slide show while Plasma says a player keeps the screen on")
                player.stop()
                wait_for(lambda: copies() == 1 and watcher.events().count("Keyboard") == 1,
                         WINDOW_TIMEOUT, "the show, once Plasma says the inhibition has ended")
                s.display.key("space")
                wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
                player.end()
            finally:
                plasma.kill()
                plasma.wait()
                plasma.stdout.close()

    def test_x_server_another_screen_saver_owns_the_name(self):
        if subprocess.run([SYSTEM_PYTHON, "-c", "import dbus, gi"], capture_output=True).returncode:
            raise unittest.SkipTest("python3-dbus or python3-gi, the stand-in's, is missing")
        # Another desktop's screen saver (Xfce's, MATE's) holds org.freedesktop.ScreenSaver and
        # tells no one what players ask of it: the watcher says so, once.
        with Session() as s, SessionBus() as bus:
            env = {"DBUS_SESSION_BUS_ADDRESS": bus.address}
            other = subprocess.Popen([SYSTEM_PYTHON, PLASMA, "alone"], env=dict(os.environ, **env),
                                     stdout=subprocess.PIPE, text=True)
            try:
                self.assertEqual(other.stdout.readline().strip(), "ready")
                watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE, env=env)
                check_show_after_each_idle_period(self, s, watcher)
                watcher.close_from_outside()
                watcher.wait_exit()
                out = watcher.proc.stdout.read().decode()
                self.assertEqual(out.count("org.freedesktop.ScreenSaver belongs to python3, "
                                           "process %d" % other.pid), 1, out)
            finally:
                other.kill()
                other.wait()
                other.stdout.close()

    def test_x_server_logind_idle_inhibitor(self):
        if subprocess.run([SYSTEM_PYTHON, "-c", "import dbus, gi"], capture_output=True).returncode:
            raise unittest.SkipTest("python3-dbus or python3-gi, the fake logind's, is missing")
        # The machine's system bus with logind holding `systemd-inhibit --what=idle`.
        with Session() as s, SessionBus() as system:
            env = {"DBUS_SYSTEM_BUS_ADDRESS": system.address}
            logind = subprocess.Popen([SYSTEM_PYTHON, LOGIND, "idle:sleep"],
                                      env=dict(os.environ, **env), stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, text=True)
            try:
                self.assertEqual(logind.stdout.readline().strip(), "ready")
                watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE, env=env)
                no_show_for(self, 6, "no slide show while logind holds an idle inhibitor")
                logind.stdin.write("sleep\n")
                logind.stdin.flush()
                self.assertEqual(logind.stdout.readline().strip(), "set")
                wait_for(lambda: copies() == 1 and watcher.events().count("Keyboard") == 1,
                         WINDOW_TIMEOUT, "the show, once the idle inhibitor has gone")
                s.display.key("space")
                wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
            finally:
                logind.kill()
                logind.wait()
                logind.stdin.close()
                logind.stdout.close()

    def test_enable_status_disable(self):
        with Session() as s:
            runtime = os.path.join(s.home, "runtime")
            entry = os.path.join(s.home, "config", "autostart", "quildor-idle.desktop")

            ran = []

            def run(*args):
                program = s.start(list(args), exe=IDLE)
                self.assertEqual(program.wait_exit(), 0, args)
                ran.append(program)
                return program.proc.stdout.read().decode()

            def watchers():
                return processes("quildor-idle", runtime)

            try:
                self.assertIn("at login: off\nnow: not watching", run("--status"))
                self.assertIn("on:", run("--enable", "2"))
                with open(entry) as f:
                    lines = f.read().splitlines()
                self.assertIn("Exec=%s 2" % os.path.realpath(IDLE), lines)
                self.assertIn("Hidden=false", lines)
                wait_for(lambda: len(watchers()) == 1, WINDOW_TIMEOUT, "the watcher, now")
                first = watchers()
                # The watcher it started, and that watcher's show, write to its event log.
                wait_for(lambda: copies() == 1 and ran[-1].events().count("Keyboard") == 1,
                         WINDOW_TIMEOUT, "its show after 2 s of idle, with the keyboard")
                s.display.key("space")
                wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
                # Another idle time replaces the watcher; a watcher started by hand gives way.
                run("--enable", "3")
                wait_for(lambda: len(watchers()) == 1 and watchers() != first,
                         WINDOW_TIMEOUT, "one watcher, with the new idle time")
                self.assertIn("already watching", s.start(["3"], exe=IDLE).proc.stdout.read()
                              .decode())
                status = run("--status")
                self.assertIn("at login: on, after 3 s without input", status)
                self.assertIn("now: watching (process %d)" % watchers()[0], status)
                self.assertIn("off:", run("--disable"))
                self.assertEqual(watchers(), [])
                with open(entry) as f:
                    self.assertIn("Hidden=true", f.read().splitlines())
                self.assertIn("at login: off\nnow: not watching", run("--status"))
            finally:
                end_session_processes(runtime)

    def test_sway(self):
        with Session(display=Sway([("HEADLESS-1", 1024, 768, 0, 0, 1)])) as s:
            self.starts_after_each_idle_period(s, dict(s.display.env, QT_QPA_PLATFORM="wayland"))

    def test_sway_holds_back_while_idle_is_inhibited(self):
        if not INHIBITOR:
            raise unittest.SkipTest("no idle-inhibiting client was built")
        with Session(display=Sway([("HEADLESS-1", 1024, 768, 0, 0, 1)])) as s:
            holder = s.display.helper([INHIBITOR], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            self.assertEqual(holder.stdout.readline().strip(), b"inhibiting")
            watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE,
                              env=dict(s.display.env, QT_QPA_PLATFORM="wayland"))
            # Three idle periods pass without a slide show: the window of the test, not a wait.
            deadline = time.monotonic() + 6
            while time.monotonic() < deadline:
                self.assertEqual(copies(), 0, "no slide show while idle is inhibited")
                time.sleep(0.2)
            holder.stdin.write(b"release\n")
            holder.stdin.flush()
            self.assertEqual(holder.stdout.readline().strip(), b"released")
            # The test's window had the keyboard; sway gives it to the slide show once shown.
            wait_for(lambda: watcher.events().count("Painted Form1") == 1 and
                     s.display.focused_app() == "quildor", WINDOW_TIMEOUT,
                     "the show, with the keyboard, once the inhibitor is released")
            s.display.key("space")
            wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")

    def test_sway_players_inhibit_over_the_session_bus(self):
        # sway owns no org.freedesktop.ScreenSaver, and its idle notification knows nothing of
        # what players ask there.
        if subprocess.run([SYSTEM_PYTHON, "-c", "import dbus"], capture_output=True).returncode:
            raise unittest.SkipTest("python3-dbus, the film player's bus library, is missing")
        with Session(display=Sway([("HEADLESS-1", 1024, 768, 0, 0, 1)])) as s, \
                SessionBus() as bus:
            env = {"DBUS_SESSION_BUS_ADDRESS": bus.address}
            watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE,
                              env=dict(s.display.env, QT_QPA_PLATFORM="wayland", **env))
            wait_for(lambda: bus.owned("org.freedesktop.ScreenSaver"), WINDOW_TIMEOUT,
                     "the watcher to take org.freedesktop.ScreenSaver")
            player = FilmPlayer(bus.address, "/ScreenSaver")
            try:
                no_show_for(self, 6, "no slide show while a player inhibits it")
                player.stop()
                wait_for(lambda: watcher.events().count("Painted Form1") == 1 and
                         s.display.focused_app() == "quildor", WINDOW_TIMEOUT,
                         "the show, with the keyboard, once the player's inhibition ended")
                s.display.key("space")
                wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
            finally:
                player.end()

    def test_sway_that_goes_away(self):
        # The compositor ends (a logout, or a crash that no recovery catches): the watcher waits
        # a few seconds for it to come back on its socket, then ends with one line and status 1.
        with Session(display=Sway([("HEADLESS-1", 1024, 768, 0, 0, 1)])) as s:
            watcher = s.start(["3600"], {}, exe=IDLE, env=s.display.env)
            # Its lock, taken once the compositor has answered.
            wait_for(lambda: "now: watching (process %d)" % watcher.proc.pid in status(s),
                     WINDOW_TIMEOUT, "the watcher, watching")
            s.display.proc.kill()
            self.assertEqual(watcher.wait_exit(), 1)
            last = watcher.proc.stdout.read().decode().splitlines()[-1]
            self.assertIn("Wayland compositor has gone and did not come back", last)

    def test_mutter(self):
        with Session(display=Nested("mutter", False)) as s:
            self.starts_after_each_idle_period(s, dict(s.display.env, QT_QPA_PLATFORM="wayland"))

    def test_mutter_restarting(self):
        # GNOME's compositor restarts on the same session bus, and its idle monitor with it.
        with Session(display=Nested("mutter", False)) as s:
            watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE,
                              env=dict(s.display.env, QT_QPA_PLATFORM="wayland"))
            for count in (1, 2):
                if count == 2:
                    s.display.restart()
                wait_for(lambda: copies() == 1 and watcher.events().count("Keyboard") == count,
                         WINDOW_TIMEOUT, "show %d after idle, with the keyboard" % count)
                s.display.key("space")
                wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
            self.assertTrue(watcher.running(), "the watcher goes on")

    def players_inhibit_on_the_desktop(self, kind, path, restart):
        """The desktop's own services: the player's Inhibit at `path` reaches the desktop's own
        org.freedesktop.ScreenSaver, which hands it on (GNOME: to its session manager; Plasma:
        to its power management, while kwin's idle notification goes on); no show while it
        stands, the show after the idle time once it ends; then the desktop's compositor
        `restart`s (GNOME Shell on the same bus; kwin crashing under its wrapper, which starts
        it again on the same socket): a show after the next idle period."""
        with Session(display=Nested(kind, False)) as s:
            env = dict(s.display.env, QT_QPA_PLATFORM="wayland")
            bus = env["DBUS_SESSION_BUS_ADDRESS"]
            player = FilmPlayer(bus, path)
            try:
                # The film plays when the watcher starts: a session idle for longer than the
                # idle time (no input since the desktop started) would otherwise see the show
                # before the player's first call, and Plasma publishes an inhibition some 5 s
                # after it is made (a real idle time is minutes long).
                wait_for(lambda: desktop_says_held(bus, kind), WINDOW_TIMEOUT,
                         "the desktop to hold the player's inhibition")
                watcher = s.start(["2"], {"Interval": "60"}, exe=IDLE, env=env)
                no_show_for(self, 6, "no slide show while a player inhibits it through the desktop")
                ended = time.monotonic()
                player.stop()
                for count in (1, 2):
                    if count == 2:
                        restart(s.display)
                    wait_for(lambda: copies() == 1 and watcher.events().count("Keyboard") == count,
                             WINDOW_TIMEOUT, "show %d after idle, with the keyboard" % count)
                    if count == 1 and kind == "gnome":
                        self.assertGreaterEqual(time.monotonic() - ended, 1.5,
                                                "the idle time runs from the inhibition's end")
                    s.display.key("space")
                    wait_for(lambda: copies() == 0, WINDOW_TIMEOUT, "the show to end on a key")
                self.assertTrue(watcher.running(), "the watcher goes on")
            finally:
                player.end()

    def test_gnome_players_inhibit_and_the_shell_restarts(self):
        self.players_inhibit_on_the_desktop("gnome", "/org/freedesktop/ScreenSaver",
                                            Nested.restart)

    def test_plasma_players_inhibit_and_kwin_crashes(self):
        self.players_inhibit_on_the_desktop("plasma", "/ScreenSaver", Nested.crash)

    def test_weston_offers_no_idle_source(self):
        with Session(display=Nested("weston", False)) as s:
            watcher = s.start(["2"], {}, exe=IDLE, env=s.display.env)
            self.assertEqual(watcher.wait_exit(), 1)
            out = watcher.proc.stdout.read().decode()
            self.assertIn("tells no program when the user is idle", out)
            self.assertEqual(len(out.splitlines()), 1, out)

    def test_cpu_over_a_minute_of_idle(self):
        with Session() as s:
            watcher = s.start(["3600"], {}, exe=IDLE)
            wait_for(lambda: os.path.exists("/proc/%d/stat" % watcher.proc.pid), 10, "the watcher")
            before = cpu_ms(watcher.proc.pid)
            time.sleep(60)   # the measured minute, not a wait for a condition
            used = cpu_ms(watcher.proc.pid) - before
            print("\nquildor-idle: %d ms of CPU time over 60 s of idle" % used)
            self.assertTrue(watcher.running())
            self.assertEqual(copies(), 0)


def desktop_says_held(address, desktop):
    """Whether the desktop's own services say that an inhibition of the show stands: GNOME's
    session manager one of idle (8), Plasma's power-management policy agent one that keeps the
    screen on (ChangeScreenSettings, 4)."""
    name, method = {
        "gnome": ("org.gnome.SessionManager", "IsInhibited"),
        "plasma": ("org.kde.Solid.PowerManagement.PolicyAgent", "HasInhibition")}[desktop]
    code = ("import dbus, sys\n"
            "name, method, kind = sys.argv[2], sys.argv[3], int(sys.argv[4])\n"
            "path = '/' + name.replace('.', '/')\n"
            "print(int(dbus.bus.BusConnection(sys.argv[1]).call_blocking("
            "name, path, name, method, 'u', (kind,))))")
    kind = "8" if desktop == "gnome" else "4"
    return subprocess.run([SYSTEM_PYTHON, "-c", code, address, name, method, kind],
                          capture_output=True, text=True, timeout=30).stdout.strip() == "1"


def status(s):
    """What `quildor-idle --status` says in session `s`."""
    program = s.start(["--status"], exe=IDLE)
    program.wait_exit()
    return program.proc.stdout.read().decode()


def cpu_ms(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])   # utime and stime
    return ticks * 1000 // os.sysconf("SC_CLK_TCK")


if __name__ == "__main__":
    main_reporting_skips()
