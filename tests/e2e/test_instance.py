"""A second start while the slide show runs ends at once and shows nothing; the first goes on."""
import unittest

from harness import Session, WINDOW_TIMEOUT, wait_for


NO_TICK = {"Interval": "60"}


class SecondInstance(unittest.TestCase):
    def test_second_start_ends_at_once_and_the_first_goes_on(self):
        with Session(1024, 768) as s:
            # No tick during the test: a tick without the disc opens the box asking for it, a
            # window of the first run's own, which would take the keys.
            first = s.start(["/s"], settings=NO_TICK)
            window = s.wait_for_slide_show(first)
            before = sorted(s.display.visible_windows())

            for args in (["/s"], ["/c"], []):
                second = s.start(args)
                self.assertEqual(second.wait_exit(WINDOW_TIMEOUT), 0)
                self.assertTrue(first.running(), "the first run must go on")
                self.assertEqual(sorted(s.display.visible_windows()), before,
                                 "the second start must show nothing")

            # The first run still reacts: a key ends it, normally.
            s.display.xdotool("key", "--window", str(window), "space", check=False)
            s.display.xdotool("key", "space", check=False)
            self.assertEqual(first.wait_exit(WINDOW_TIMEOUT), 0)

    def test_after_the_first_run_ends_a_new_one_starts(self):
        with Session(800, 600) as s:
            first = s.start([], settings=NO_TICK)
            s.wait_for_slide_show(first)
            s.display.xdotool("key", "Escape")
            self.assertEqual(first.wait_exit(), 0)
            wait_for(lambda: not s.display.full_screen_windows(), WINDOW_TIMEOUT,
                     "the window to go")
            again = s.start([], settings=NO_TICK)
            s.wait_for_slide_show(again)
            self.assertTrue(again.running())


if __name__ == "__main__":
    unittest.main()
