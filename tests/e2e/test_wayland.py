"""The slide show under a Wayland compositor (headless sway) with two outputs of different sizes,
natively (Qt's Wayland plugin) and through Xwayland: the slide show on the first output, laid out
as on X11, the other output black, no pixel of the desktop (magenta) on either, the pointer blank
over it; the show on the output at the layout's origin, not the one announced first; a key, a click on the other output and the fourth move end it; an output added during
the show is covered too. At scale 2 the layout is the logical one and a photograph's one-pixel detail
survives, also once the outputs are rearranged during the show. While sway's outputs are powered
off, the show reads and decodes nothing (a tenth of the CPU it takes in the light at most), and
a new photograph comes within two ticks of the light coming back (where sway can power its
headless outputs off: from 1.10 on). swayidle's line starts the show after idle, again after the next idle period, never
twice at once. Run as a script: without sway it reports a skip (status 77) with the reason."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from harness import (EXE, Session, WINDOW_TIMEOUT, check_show_after_each_idle_period,
                     folder_setting, wait_for)
from sway import MAGENTA, Sway
from test_composition import black, check_design, columns_sharp, painted, scale_2_columns

FIRST = ("HEADLESS-1", 1024, 768, 0, 0, 1)
SECOND = ("HEADLESS-2", 800, 600, 1024, 0, 1)
ON_SECOND = [(1300, 200), (1400, 300), (1500, 400), (1600, 100)]
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples",
                       "QUILDORS")
PHOTO = (116 + 16, 93 + 16, 116 + 16 + 761, 93 + 16 + 457)   # inside the frame, 1024 x 768


def magenta_on(shot):
    return shot.count(0, 0, shot.width, shot.height, lambda p: p == MAGENTA, step=4)


class Checks:
    """The same checks natively and through Xwayland (QT_QPA_PLATFORM)."""
    platform = None
    xwayland = False

    def launch(self, s, settings, args=("/s",), exe=None, env=None):
        return s.start(list(args), settings=settings, exe=exe,
                       env=dict(s.display.env, QT_QPA_PLATFORM=self.platform, **(env or {})))

    def start(self, s, settings=None):
        program = self.launch(s, settings or {"Interval": "60"})

        def covered():
            if not program.running():
                raise AssertionError("the program ended with %s: %s" % (
                    program.proc.returncode, program.proc.stdout.read().decode(errors="replace")))
            shots = [s.display.screenshot(o[0]) for o in s.display.outputs]
            return not any(magenta_on(shot) for shot in shots) and painted(shots[0], 1024, 768)
        wait_for(covered, WINDOW_TIMEOUT, "every output covered and the slide show painted")
        return program

    def test_every_output_covered_and_key_click_or_fourth_move_ends_the_show(self):
        with Session(display=Sway([FIRST, SECOND], self.xwayland)) as s:
            # The slide show goes on the first output even when the other one has the focus.
            s.display.msg("focus", "output", SECOND[0])
            program = self.start(s)
            name = "%s-" % self.platform
            check_design(self, s.display.screenshot(FIRST[0], name + "first-output"), 1024, 768)
            # Once the pointer has moved over the second output, nothing shows there; the
            # screenshots include the pointer. (Under Xwayland sway keeps its own arrow over a
            # window that appears under the resting pointer until the pointer moves.)
            s.display.move(*ON_SECOND[0])
            program.wait_for_events("Form1 - MouseMove", 1)
            second = s.display.screenshot(SECOND[0], name + "second-output")
            self.assertEqual(second.count(0, 0, second.width, second.height,
                                          lambda p: not black(p)), 0,
                             "the second output black, the pointer blank")

            # An output added during the show is covered; the key ends the show.
            s.display.msg("create_output")
            wait_for(lambda: s.display.active_outputs() == 3, WINDOW_TIMEOUT, "the new output")
            wait_for(lambda: not magenta_on(s.display.screenshot("HEADLESS-3")), WINDOW_TIMEOUT,
                     "the new output covered")
            s.display.key("space")
            self.assertEqual(program.wait_exit(), 0, "a key ends the show")

        with Session(display=Sway([FIRST, SECOND], self.xwayland)) as s:
            program = self.start(s, {"Interval": "1", "QuildorsDir": folder_setting(SAMPLES)})
            # Photographs change at the interval.
            first = s.display.screenshot(FIRST[0])

            def photo(shot):
                return [shot.pixel(x, y) for x in range(PHOTO[0], PHOTO[2], 37)
                        for y in range(PHOTO[1], PHOTO[3], 41)]
            wait_for(lambda: photo(s.display.screenshot(FIRST[0])) != photo(first),
                     WINDOW_TIMEOUT, "the next photograph")
            s.display.move(1700, 500)
            s.display.click()
            self.assertEqual(program.wait_exit(), 0, "a click on the second output")

            program = self.start(s)
            for i, at in enumerate(ON_SECOND[:3], 1):
                s.display.move(*at)
                program.wait_for_events("Form1 - MouseMove", i)
            self.assertTrue(program.running(), "three moves are tolerated")
            s.display.move(*ON_SECOND[3])
            self.assertEqual(program.wait_exit(), 0, "the fourth move ends the show")

    def test_nothing_is_read_or_decoded_while_the_outputs_are_off(self):
        with tempfile.TemporaryDirectory() as tmp, Session(display=Sway([FIRST], self.xwayland)) as s:
            if not s.display.power(False):
                raise unittest.SkipTest("this sway cannot power its headless outputs off")
            self.assertTrue(s.display.power(True))
            program = self.launch(s, large_photographs(tmp))
            program.wait_for_events(LOADED, 2)
            lit = cpu_ms_over(program, 5)
            self.assertTrue(s.display.power(False))
            time.sleep(1.5)   # a step that began before the dark ends
            loaded = program.events().count(LOADED)
            dark = cpu_ms_over(program, 5)
            self.assertEqual(program.events().count(LOADED), loaded, "no photograph in the dark")
            mark = len(program.events())
            self.assertTrue(s.display.power(True))
            wait_for(lambda: LOADED in program.events()[mark:], WINDOW_TIMEOUT,
                     "a photograph once the light is back")
            after = program.events()[mark:]
            ticks = after[:after.index(LOADED)].count("Form1 Timer1 Timer")
            print("\nCPU over 5 s: %.1f ms lit, %.1f ms dark; a photograph on the %s tick of the light"
                  % (lit, dark, ["first", "second", "third"][min(ticks, 3) - 1]))
            self.assertLessEqual(ticks, 2, "a new photograph within two ticks of the light")
            self.assertLessEqual(dark, lit / 10)

    def test_the_failure_box_stands_over_the_show_and_is_answered(self):
        # A folder without photographs: the box asking for the disc, over the slide show.
        with tempfile.TemporaryDirectory() as tmp, \
                Session(display=Sway([FIRST, SECOND], self.xwayland)) as s:
            os.chmod(tmp, 0o755)
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            program = self.launch(s, {"Interval": "1", "QuildorsDir": folder_setting(folder)})
            box = wait_for(lambda: box_on(s.display.screenshot(FIRST[0])), WINDOW_TIMEOUT,
                           "the box over the slide show")
            s.display.screenshot(FIRST[0], "%s-failure-box" % self.platform)
            shutil.copy(os.path.join(SAMPLES, "55COUPE.JPG"), folder)
            self.answer(s, box)
            wait_for(lambda: not box_on(s.display.screenshot(FIRST[0])), WINDOW_TIMEOUT,
                     "the box to close")
            self.assertTrue(program.running(), "the show goes on")
            s.display.key("space")
            self.assertEqual(program.wait_exit(), 0, "the keyboard is the slide show's again")

    def test_the_show_takes_the_output_at_the_origin_not_the_first_announced(self):
        # HEADLESS-1, made first, stands right of HEADLESS-2, which holds the layout's origin.
        right, origin = ("HEADLESS-1", 800, 600, 1024, 0, 1), ("HEADLESS-2", 1024, 768, 0, 0, 1)
        with Session(display=Sway([right, origin], self.xwayland)) as s:
            program = self.launch(s, {"Interval": "60"})
            wait_for(lambda: painted(s.display.screenshot(origin[0]), 1024, 768) and
                     not magenta_on(s.display.screenshot(right[0])), WINDOW_TIMEOUT,
                     "the slide show on the output at the origin, the other one covered")
            other = s.display.screenshot(right[0], "%s-origin-other" % self.platform)
            # Black but for the compositor's own pointer, which stays until the pointer moves.
            self.assertLess(other.count(0, 0, other.width, other.height, lambda p: not black(p)),
                            400, "the other output black")
            s.display.key("space")
            self.assertEqual(program.wait_exit(), 0)


BOX = (239, 239, 239)   # a message box's face


def box_on(shot):
    """The bounds (left, top, right, bottom) of a message box in the middle of `shot`."""
    xs, ys = range(200, shot.width - 200, 2), range(250, shot.height - 250, 2)
    found = [(x, y) for y in ys for x in xs if shot.pixel(x, y) == BOX]
    if len(found) < 0.1 * len(xs) * len(ys):
        return None
    return (min(x for x, _ in found), min(y for _, y in found),
            max(x for x, _ in found), max(y for _, y in found))


LOADED = "Form1 Timer1 LoadComplete"


def large_photographs(tmp):
    """Settings for a collection in `tmp` of three 3000 x 2000 camera-sized photographs of fine
    detail (a step decodes one each second), changed every second."""
    folder = os.path.join(tmp, "QUILDORS")
    os.mkdir(folder)
    for name in ("55A.JPG", "56B.JPG", "57C.JPG"):
        subprocess.run(["convert", "-size", "3000x2000", "xc:gray", "+noise", "Random",
                        "-quality", "90", os.path.join(folder, name)], check=True, timeout=120)
    return {"Interval": "1", "QuildorsDir": folder_setting(folder)}


def cpu_ms_over(program, seconds):
    """The CPU time all threads of `program` take over the next `seconds` (the measured stretch,
    not a wait for a condition), to the nanosecond the scheduler counts."""
    def cpu():
        total = 0
        for task in os.listdir("/proc/%d/task" % program.proc.pid):
            with contextlib.suppress(OSError):
                with open("/proc/%d/task/%s/schedstat" % (program.proc.pid, task)) as f:
                    total += int(f.read().split()[0])
        return total / 1e6
    before = cpu()
    time.sleep(seconds)
    return cpu() - before


class NativeWayland(Checks, unittest.TestCase):
    platform = "wayland"

    def answer(self, s, box):
        # sway keeps the keyboard with a full-screen window while a box of its stands over it:
        # a click on OK (at the box's lower right) answers it.
        s.display.move(box[2] - 45, box[3] - 20)
        s.display.click()

    def test_scale_2_draws_the_logical_layout_at_device_resolution(self):
        with tempfile.TemporaryDirectory() as tmp, \
                Session(display=Sway([("HEADLESS-1", 2048, 1536, 0, 0, 2), SECOND])) as s:
            program = self.launch(s, scale_2_columns(tmp))
            wait_for(lambda: columns_sharp(s.display.screenshot("HEADLESS-1")), WINDOW_TIMEOUT,
                     "the photograph's one-pixel columns")
            s.display.screenshot("HEADLESS-1", "wayland-scale-2")
            # The outputs rearranged during the show (a laptop docked): the output of scale 1 is
            # now at the origin, where a new show would go; this one stays where it is, and its
            # photographs are still decoded for its own output's scale.
            s.display.msg("output", SECOND[0], "position", "0", "0")
            s.display.msg("output", "HEADLESS-1", "position", str(SECOND[1]), "0")
            loaded = program.events().count("Form1 Timer1 LoadComplete")
            program.wait_for_events("Form1 Timer1 LoadComplete", loaded + 2)
            shot = s.display.screenshot("HEADLESS-1", "wayland-scale-2-rearranged")
            self.assertTrue(columns_sharp(shot), "sharp after the outputs were rearranged")
            self.assertTrue(program.running())

    def test_swayidle_starts_the_show_after_idle_and_again_after_the_next(self):
        with Session(display=Sway([FIRST, SECOND])) as s:
            # swayidle runs with the settings, event log and instance lock a run of the program
            # gets; the line finds the program on its PATH by the name the README gives.
            bin_dir = os.path.join(s.home, "bin")
            os.mkdir(bin_dir)
            os.symlink(EXE, os.path.join(bin_dir, "quildor"))
            idle = self.launch(s, {"Interval": "60"}, exe="swayidle",
                               args=["-w", "timeout", "2", "quildor /s"],
                               env={"PATH": bin_dir + ":" + os.environ["PATH"]})
            check_show_after_each_idle_period(self, s, idle)


class XWayland(Checks, unittest.TestCase):
    platform = "xcb"
    xwayland = True

    def answer(self, s, box):
        s.display.key("Return")


if __name__ == "__main__":
    try:
        Sway.check()
    except unittest.SkipTest as why:
        print("skipped: %s" % why)
        sys.exit(77)
    unittest.main(verbosity=2)
