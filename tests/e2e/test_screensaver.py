"""What a real screen saver gets right. Windows: the preview inside the Screen Saver Settings
page's little monitor ("/p HANDLE"), and a start by the file's short 8.3 name. Linux: the slide
show inside a window that a screen-saver daemon hands over, and under XScreenSaver's own daemon."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import (AS_NOBODY, EXE, KIND, SWITCHES_USER, Session, WINDOW_TIMEOUT, WINE,
                     hand_over, set_linux_settings, wait_for, wine_env, wine_run)


@unittest.skipUnless(KIND == "wine", "the preview and short names are Windows' own")
class WindowsScreenSaver(unittest.TestCase):
    def test_preview_draws_inside_the_given_window_and_ends_with_it(self):
        # The page's window as Windows makes it for a DPI-aware program, and for one that is not:
        # the preview's child takes its parent's DPI awareness either way.
        for args in ([], ["--unaware"]):
            with Session(1024, 768) as s:
                host = wine_run([os.environ["QUILDOR_PREVIEW_HOST"], EXE] + args,
                                wine_env(s.display), timeout=120)
                self.assertEqual(host.returncode, 0, host.stdout)

    def test_five_previews_in_a_row_and_a_slide_show_beside_one(self):
        """Screen Saver Settings starts a new preview each time its choice changes and destroys
        the old one's window: five copies in a row, each drawing at once, each ending within a
        second; a preview never keeps the slide show from starting."""
        # The host's output goes to a file (see wine_run), read as it grows.
        with Session(1024, 768) as s, tempfile.TemporaryFile("w+") as output:
            host = subprocess.Popen([WINE, os.environ["QUILDOR_PREVIEW_HOST"], EXE, "--times", "5",
                                     "--hold"], env=wine_env(s.display), stdin=subprocess.PIPE,
                                    stdout=output, stderr=subprocess.STDOUT, text=True)

            def said():
                output.seek(0)
                return output.read()
            try:
                wait_for(lambda: "shown" in said() or host.poll() is not None, 120,
                         "the first preview")
                self.assertIn("shown", said())
                program = s.start(["/s"], settings={"Interval": "60"})
                s.wait_for_slide_show(program)
                s.display.xdotool("key", "a")
                self.assertEqual(program.wait_exit(), 0)
                host.stdin.write("go\n")
                host.stdin.close()
                host.wait(180)
            finally:
                if host.poll() is None:
                    host.kill()
                    host.wait()
            out = said()
            self.assertEqual(host.returncode, 0, out)
            self.assertEqual(out.count("ended"), 5, out)

    def test_invalid_preview_windows_end_at_once(self):
        with Session(800, 600) as s:
            for handle in ("0", "99999"):
                program = s.start(["/p", handle])
                started = time.monotonic()
                self.assertEqual(program.wait_exit(), 1, handle)
                self.assertLess(time.monotonic() - started, WINDOW_TIMEOUT)
                self.assertEqual(s.display.full_screen_windows(), [])

    def test_a_start_by_the_short_name_works_like_one_by_the_long_name(self):
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768) as s:
            long_path = os.path.join(tmp, "Quildor Anthology Screen Saver.scr")
            shutil.copy(EXE, long_path)
            windows_path = "Z:" + long_path.replace("/", "\\")
            short = wine_run(["winepath", "-s", windows_path], wine_env(s.display),
                             stderr=subprocess.DEVNULL).stdout.strip().splitlines()[-1]
            self.assertRegex(short, r"(?i)~\w+\.scr$")
            program = s.start(["/s"], settings={"Interval": "60"}, exe=short)
            window = s.wait_for_slide_show(program)
            s.display.screenshot("short-name")
            s.display.xdotool("key", "space")
            self.assertEqual(program.wait_exit(), 0)
            self.assertTrue(window)


@unittest.skipUnless(KIND == "linux", "screen-saver daemons hand over X windows")
class DaemonWindow(unittest.TestCase):
    def run_inside(self, how):
        with Session(1024, 768) as s:
            host = subprocess.Popen([os.environ["QUILDOR_HOST_WINDOW"]], env=dict(
                os.environ, DISPLAY=s.display.name), stdout=subprocess.PIPE, text=True)
            try:
                window_id = host.stdout.readline().strip()
                wait_for(lambda: s.display.visible_windows(), WINDOW_TIMEOUT, "the host window")
                before = s.display.visible_windows()
                if how == "env":
                    program = s.start(["-root"], settings={"Interval": "60"},
                                      env={"XSCREENSAVER_WINDOW": window_id})
                else:
                    program = s.start(["-window-id", window_id], settings={"Interval": "60"})

                def inside():
                    shot = s.display.screenshot()
                    green = shot.count(50, 50, 690, 530, lambda p: p[1] > 150 and p[0] < 60, 8)
                    photo = shot.count(50 + 10, 50 + 10, 50 + 630, 50 + 470,
                                       lambda p: max(p) > 60 and not p[1] > 150 > p[0], 8)
                    return green == 0 and photo > 1000
                wait_for(inside, WINDOW_TIMEOUT, "the slide show inside the host window")
                shot = s.display.screenshot("daemon-window-" + how)
                self.assertEqual(s.display.visible_windows(), before, "no window of its own")
                self.assertEqual(s.display.full_screen_windows(), [])
                # Laid out for a 640 x 480 screen: the frame's top bevel at the top edge.
                self.assertTrue(all(110 <= c <= 145 for c in shot.pixel(50 + 100, 50)))
                self.assertTrue(max(shot.pixel(20, 20)) < 20, "nothing outside the host")
                self.assertTrue(program.running())
            finally:
                host.kill()
                host.wait()
                host.stdout.close()

    def test_xscreensaver_window_variable(self):
        self.run_inside("env")

    def test_window_id_switch(self):
        self.run_inside("switch")

    def test_preview_switch_runs_the_slide_show(self):
        with Session(800, 600) as s:
            program = s.start(["/p", "1234"])
            s.wait_for_slide_show(program)
            s.display.xdotool("key", "space")
            self.assertEqual(program.wait_exit(), 0)


# The daemon's settings: no locking, no fading, only our program, and no blanking of its own
# accord while the test runs.
XSCREENSAVER_SETTINGS = """timeout: 0:59:00
cycle: 0:00:00
lock: False
fade: False
unfade: False
splash: False
mode: one
selected: 0
programs: %s --root \\n\\
"""


@unittest.skipUnless(KIND == "linux", "XScreenSaver is a daemon of X11 desktops")
class XScreenSaverDaemon(unittest.TestCase):
    def test_the_daemon_runs_the_slide_show_and_ends_it(self):
        # The daemon refuses to run programs as root: it runs as "nobody", in a home of its own.
        with Session(1024, 768) as s:
            photos = os.path.join(s.home, "photos", "QUILDORS")
            os.makedirs(photos)
            subprocess.run(["convert", "-size", "320x200", "xc:rgb(30,200,40)",
                            os.path.join(photos, "55GOOD.JPG")], check=True)
            config = os.path.join(s.home, "config")
            set_linux_settings({"Interval": "1", "QuildorsDir": photos + "/"}, config)
            program = os.path.join(s.home, "quildor")
            shutil.copy(EXE, program)
            with open(os.path.join(s.home, ".xscreensaver"), "w", encoding="utf-8") as f:
                f.write(XSCREENSAVER_SETTINGS % program)
            runtime = os.path.join(s.home, "runtime")
            os.makedirs(runtime, mode=0o700)
            hand_over(s.home)
            env = {"DISPLAY": s.display.name, "HOME": s.home, "XDG_CONFIG_HOME": config,
                   "XDG_RUNTIME_DIR": runtime, "PATH": os.environ.get("PATH", "/usr/bin:/bin")}
            user = AS_NOBODY if SWITCHES_USER else {}
            log = open(os.path.join(s.home, "xscreensaver.log"), "w+", encoding="utf-8")
            daemon = subprocess.Popen(["xscreensaver", "-no-splash", "-verbose"], env=env,
                                      stdout=log, stderr=subprocess.STDOUT, **user)

            def command(what):
                return subprocess.run(["xscreensaver-command", what], env=env,
                                      capture_output=True, timeout=30, **user).returncode == 0

            def running():
                return subprocess.run(["pgrep", "-f", "^" + program], capture_output=True,
                                      text=True).stdout.split()

            def photo_shown():
                p = s.display.screenshot().pixel(500, 300)
                return abs(p[0] - 30) < 40 and abs(p[1] - 200) < 40 and abs(p[2] - 40) < 40
            try:
                for round_ in (1, 2):
                    wait_for(lambda: command("-activate"), WINDOW_TIMEOUT, "the daemon to blank")
                    wait_for(photo_shown, WINDOW_TIMEOUT, "the photograph in the daemon's window")
                    s.display.screenshot("xscreensaver-%d" % round_)
                    self.assertEqual(len(running()), 1)
                    started = time.monotonic()
                    self.assertTrue(command("-deactivate"))
                    wait_for(lambda: not running(), WINDOW_TIMEOUT, "the program to end")
                    print("round %d: the program ended %.2f s after the deactivation"
                          % (round_, time.monotonic() - started))
                    wait_for(lambda: not photo_shown(), WINDOW_TIMEOUT, "the desktop again")
                self.assertTrue(command("-exit"))
                self.assertEqual(daemon.wait(WINDOW_TIMEOUT), 0)
            except AssertionError:
                log.seek(0)
                print("the daemon's log:\n" + log.read())
                raise
            finally:
                if daemon.poll() is None:
                    daemon.kill()
                    daemon.wait()
                log.close()
            self.assertEqual(running(), [], "nothing of the program is left")


if __name__ == "__main__":
    unittest.main()
