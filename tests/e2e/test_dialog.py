"""The settings dialog driven as a person would, with the mouse and with the keyboard alone: the
spin button steps the delay, "Set" stores it, "Help" explains, "Exit" ends the run; the controls
stand as designed, and the one with the keyboard shows it."""
import unittest

from harness import Session, WINDOW_TIMEOUT, stored_setting, wait_for

# The client area's top-left corner on the screen, and the centres of the controls in it.
ORIGIN = (166, 177)
SET = (24 + 60, 248 + 12)
EXIT = (144 + 60, 248 + 12)
HELP = (264 + 60, 248 + 12)
SPIN_DOWN = (208 + 16, 216 + 8)
SPIN_UP = (208 + 48, 216 + 8)
HELP_TITLE = "The Quildor Anthology Screen Saver Settings"


def white(p):
    return min(p) >= 245


class DialogTestCase(unittest.TestCase):
    def setUp(self):
        self.session = Session(800, 600)
        self.addCleanup(self.session.close)
        self.program = self.session.start(["/c"], settings={"QuildorsDir": "E:\\QUILDORS\\"})
        self.window = self.session.wait_for_window(self.program, "Screen Saver Settings")
        wait_for(lambda: white(self.session.display.screenshot().pixel(ORIGIN[0] + 100,
                                                                       ORIGIN[1] + 40)),
                 WINDOW_TIMEOUT, "the dialog painted")

    def click(self, at):
        x, y = ORIGIN[0] + at[0], ORIGIN[1] + at[1]
        self.session.display.xdotool("mousemove", str(x), str(y), "click", "1")


class Dialog(DialogTestCase):
    def set_and_expect(self, value):
        self.click(SET)
        wait_for(lambda: stored_setting(self.program, "Interval") == value, WINDOW_TIMEOUT,
                 "Interval to be stored as %r" % value)
        self.assertEqual(stored_setting(self.program, "QuildorsDir"), "E:\\QUILDORS\\")
        self.assertTrue(self.program.running(), "the dialog stays open after Set")

    def test_spin_down_then_set_stores_60(self):
        self.click(SPIN_DOWN)
        self.set_and_expect("60")

    def test_five_spin_ups_then_set_store_10(self):
        for _ in range(5):
            self.click(SPIN_UP)
        self.set_and_expect("10")

    def test_set_untouched_stores_1_and_exit_ends_with_status_0(self):
        self.set_and_expect("1")
        self.click(SPIN_UP)
        self.click(EXIT)
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(stored_setting(self.program, "Interval"), "1", "Exit saves nothing")

    def test_a_close_from_outside_ends_the_run_without_saving(self):
        self.click(SPIN_DOWN)
        self.program.close_from_outside()
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertIsNone(stored_setting(self.program, "Interval"))

    def test_help_shows_its_box(self):
        self.click(HELP)
        box = self.session.wait_for_window(self.program, HELP_TITLE)
        self.session.display.screenshot("dialog-help")
        self.session.display.xdotool("windowfocus", "--sync", str(box), check=False)
        self.session.display.xdotool("key", "Return")
        wait_for(lambda: not self.session.display.run(
            "xdotool", "search", "--onlyvisible", "--name", "^%s$" % HELP_TITLE,
            check=False).stdout.split(), WINDOW_TIMEOUT, "the help box to close")
        self.assertTrue(self.program.running())
        self.assertIsNone(stored_setting(self.program, "Interval"))

    def test_controls_stand_as_designed(self):
        shot = self.session.display.screenshot("dialog")
        ox, oy = ORIGIN

        def at(x, y):
            return shot.pixel(ox + x, oy + y)
        # The white backdrop with its raised bevel: light at the top-left corner, shadow inside
        # its right edge (two of its pixels lie outside the window).
        self.assertTrue(white(at(0, 0)))
        self.assertTrue(all(110 <= c <= 145 for c in at(412, 150)), at(412, 150))
        self.assertTrue(white(at(30, 30)))
        # The convertible at its own size in the middle.
        red = shot.count(ox + 56, oy + 80, ox + 56 + 293, oy + 80 + 115,
                         lambda p: p[0] > 140 and p[1] < 70 and p[2] < 70, step=2)
        self.assertGreater(red, 500)
        # Red titles, navy prompt and value, three buttons on the bottom row.
        self.assertGreater(shot.count(ox + 96, oy + 16, ox + 329, oy + 41,
                                      lambda p: p[0] > 180 and p[1] < 80), 50)
        self.assertGreater(shot.count(ox + 40, oy + 216, ox + 201, oy + 241,
                                      lambda p: p[2] > 90 and p[0] < 60 and p[1] < 60), 30)
        self.assertGreater(shot.count(ox + 276, oy + 219, ox + 362, oy + 230,
                                      lambda p: p[2] > 90 and p[0] < 60 and p[1] < 60), 10)
        for x0 in (24, 144, 264):
            face = shot.count(ox + x0 + 4, oy + 252, ox + x0 + 117, oy + 270,
                              lambda p: not white(p) and min(p) > 150)
            self.assertGreater(face, 500, "button at %d" % x0)


class DialogKeyboard(DialogTestCase):
    """With the keyboard only: Tab and Shift+Tab walk "Set", "Help", "Exit" and the spin button,
    the arrow keys step the delay, Space presses the button that has the focus."""

    def setUp(self):
        super().setUp()
        self.program.wait_for_events("Focus SSCommand4", 1)

    def keys(self, *keys):
        for key in keys:
            self.session.display.xdotool("key", key)

    def walk(self, keys, *names):
        """Pressing `keys` moves the focus to each of `names` in turn, and nowhere else."""
        start = len(self.focus_lines())
        self.keys(*keys)
        wait_for(lambda: len(self.focus_lines()) >= start + len(names), WINDOW_TIMEOUT,
                 "the focus to move to %s" % (names,))
        self.assertEqual(self.focus_lines()[start:], ["Focus " + n for n in names])

    def focus_lines(self):
        return [e for e in self.program.events() if e.startswith("Focus ")]

    def spin_pixels(self):
        shot = self.session.display.screenshot()
        x0, y0 = ORIGIN[0] + 208, ORIGIN[1] + 216
        return [shot.pixel(x, y) for y in range(y0, y0 + 17) for x in range(x0, x0 + 65)]

    def test_tab_to_the_spin_button_down_then_set_stores_60(self):
        before = self.spin_pixels()
        self.walk(["Tab"] * 3, "SSCommand5", "SSCommand6", "SpinInterval")
        # The focus mark: the spin button's arrows look different now that it has the keyboard.
        wait_for(lambda: sum(a != b for a, b in zip(before, self.spin_pixels())) >= 20,
                 WINDOW_TIMEOUT, "the focus mark on the spin button")
        self.session.display.screenshot("dialog-keyboard-focus")
        self.keys("Down")
        self.program.wait_for_events("frmSSSettings SpinInterval SpinDown", 1)
        self.walk(["Tab"], "SSCommand4")
        self.keys("space")
        wait_for(lambda: stored_setting(self.program, "Interval") == "60", WINDOW_TIMEOUT,
                 "Interval to be stored as 60")
        self.assertEqual(self.program.events().count("frmSSSettings SpinInterval SpinDown"), 1)
        self.assertTrue(self.program.running())

    def test_shift_tab_walks_backwards_and_space_on_exit_ends_the_run(self):
        self.walk(["shift+Tab"] * 4, "SpinInterval", "SSCommand6", "SSCommand5", "SSCommand4")
        self.keys("Escape", "Return")   # nothing, then Enter on "Set": stored, still open
        wait_for(lambda: stored_setting(self.program, "Interval") == "1", WINDOW_TIMEOUT,
                 "Enter on Set to store 1")
        self.assertTrue(self.program.running(), "Escape does not close the dialog")
        self.walk(["Up", "shift+Tab", "shift+Tab"], "SpinInterval", "SSCommand6")
        self.keys("space")
        self.assertEqual(self.program.wait_exit(), 0)
        self.assertEqual(stored_setting(self.program, "Interval"), "1", "Exit saves nothing")


if __name__ == "__main__":
    unittest.main()
