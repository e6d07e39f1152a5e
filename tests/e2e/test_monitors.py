"""The slide show on a desk of two monitors of different sizes (Linux): the slide show on the
primary one, a black cover over the other, so that no pixel of the desktop shows on either, and
input on the other monitor ending the show as on the slide show's own surface. Run as a script:
its X server (Xorg with the dummy driver) needs root; without root it reports a skip (status 77).
"""
import os
import sys
import unittest

from harness import MonitorsDisplay, Session, WINDOW_TIMEOUT, wait_for

PRIMARY = (1024, 768, 0, 0)
SECOND = (800, 600, 1024, 0)
DESKTOP = (255, 0, 255)        # the root window's colour
BANNER = (500, 640)            # on the primary monitor; ignores the mouse
ON_SECOND = [(1300, 200), (1400, 300), (1500, 400), (1600, 100)]


class TwoMonitors(unittest.TestCase):
    def start(self, s):
        s.display.run("xsetroot", "-solid", "#ff00ff")
        s.display.xdotool("mousemove", *map(str, BANNER))
        program = s.start(["/s"], settings={"Interval": "60"})

        def covered():
            if not program.running():
                raise AssertionError("the program ended with %s" % program.proc.returncode)
            shot = s.display.screenshot()
            for w, h, x, y in (PRIMARY, SECOND):
                if shot.count(x, y, x + w, y + h, lambda p: p == DESKTOP, 4):
                    return False
            return True
        wait_for(covered, WINDOW_TIMEOUT, "both monitors covered")
        return program

    def test_both_monitors_covered_and_input_on_the_second_ends_the_show(self):
        with Session(display=MonitorsDisplay([PRIMARY, SECOND])) as s:
            program = self.start(s)
            s.display.screenshot("two-monitors")
            s.display.xdotool("mousemove", *map(str, ON_SECOND[0]))
            s.display.xdotool("key", "space")
            self.assertEqual(program.wait_exit(), 0, "a key with the pointer on the second")

            program = self.start(s)
            s.display.xdotool("mousemove", *map(str, ON_SECOND[0]))
            s.display.xdotool("click", "1")
            self.assertEqual(program.wait_exit(), 0, "a click on the second monitor")

            program = self.start(s)
            for i, at in enumerate(ON_SECOND[:3], 1):
                s.display.xdotool("mousemove", *map(str, at))
                program.wait_for_events("Form1 - MouseMove", i)
            self.assertTrue(program.running(), "three moves are tolerated")
            s.display.xdotool("mousemove", *map(str, ON_SECOND[3]))
            self.assertEqual(program.wait_exit(), 0, "the fourth move ends the show")


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("skipped: the X server with several monitors (Xorg's dummy driver) needs root")
        sys.exit(77)
    unittest.main(verbosity=2)
