"""Ending the slide show by hand, as a person does: a key, a click on the photograph, or the
mouse moved for the fourth time over the window (or over the photograph); the caption panel, the
banner and the frame's bevel ignore the mouse. A close from outside shows the cursor twice."""
import os
import unittest

from harness import KIND, Session, WINDOW_TIMEOUT, wait_for, wine_env, wine_run

# Places on a 1024 x 768 screen.
SURFACE = [(30, 30), (60, 700), (1000, 40), (990, 740)]      # black window surface
PHOTO = [(300, 200), (500, 300), (700, 400), (600, 500)]     # Image1
BANNER = (500, 640)                                           # Image2
CAPTION = (510, 594)                                          # panYear
BEVEL = (119, 300)                                            # SSPanel1's bevel left of Image1
BOX_TITLE = "The Quildor Anthology Screen Saver"
# Corners of the photograph, clear of a message box in the middle of the screen.
PHOTO_CORNERS = [(200, 150), (820, 150), (200, 540), (820, 540)]


class Dismissal(unittest.TestCase):
    def start(self, s):
        # The pointer starts over the banner, which ignores it: a window appearing under the
        # pointer may report one movement there.
        s.display.xdotool("mousemove", *map(str, BANNER))
        program = s.start(["/s"], settings={"Interval": "60"})
        s.wait_for_slide_show(program)
        return program

    def move(self, s, program, at, line, count):
        s.display.xdotool("mousemove", *map(str, at))
        program.wait_for_events(line, count)

    def test_fourth_move_over_the_window_ends_it(self):
        with Session(1024, 768) as s:
            program = self.start(s)
            for i, at in enumerate(SURFACE[:3], 1):
                self.move(s, program, at, "Form1 - MouseMove", i)
            self.assertTrue(program.running())
            s.display.xdotool("mousemove", *map(str, SURFACE[3]))
            self.assertEqual(program.wait_exit(), 0)
            self.assertEqual(program.events()[-1], "ShowCursor 1")

    def test_three_over_each_pass_and_a_further_one_over_the_photograph_ends_it(self):
        with Session(1024, 768) as s:
            program = self.start(s)
            for i in range(3):
                self.move(s, program, SURFACE[i], "Form1 - MouseMove", i + 1)
                self.move(s, program, PHOTO[i], "Form1 Image1 MouseMove", i + 1)
            self.assertTrue(program.running())
            s.display.xdotool("mousemove", *map(str, PHOTO[3]))
            self.assertEqual(program.wait_exit(), 0)

    def test_panels_and_banner_ignore_moves_and_clicks(self):
        with Session(1024, 768) as s:
            program = self.start(s)
            # A movement reported when the window appeared under the pointer comes before one
            # made after it: counted once the caption's first one is in.
            self.move(s, program, CAPTION, "Form1 panYear MouseMove", 1)
            before = program.events().count("Form1 Image2 MouseMove")
            for n in range(1, 6):
                self.move(s, program, (CAPTION[0] + n, CAPTION[1]), "Form1 panYear MouseMove",
                          n + 1)
                self.move(s, program, (BANNER[0] + n, BANNER[1]), "Form1 Image2 MouseMove",
                          before + n)
                self.move(s, program, (BEVEL[0], BEVEL[1] + n), "Form1 SSPanel1 MouseMove", n)
            for at, name in ((CAPTION, "panYear"), (BANNER, "Image2"), (BEVEL, "SSPanel1")):
                s.display.xdotool("mousemove", *map(str, at))
                s.display.xdotool("click", "1")
                program.wait_for_events("Form1 %s MouseDown" % name, 1)
            self.assertTrue(program.running())
            self.assertEqual(program.events().count("Form1 - MouseMove"), 0)
            s.display.screenshot("after-moves-over-panels")

    def test_moves_that_do_not_move_the_pointer_are_not_counted(self):
        """The window appearing under the resting pointer and (Windows) ten move messages at its
        place are no movement; the fourth real move still ends the show."""
        with Session(1024, 768) as s:
            s.display.xdotool("mousemove", *map(str, PHOTO_CORNERS[0]))
            program = s.start(["/s"], settings={"Interval": "60"})
            s.wait_for_slide_show(program)
            if KIND == "wine":
                posted = wine_run([os.environ["QUILDOR_POST_MOVES"], "10"], wine_env(s.display))
                self.assertIn("posted 10 moves to QuildorControl", posted.stdout)
            # Each real move counts, the first one behind everything posted before it.
            for i, at in enumerate(PHOTO_CORNERS[1:], 1):
                self.move(s, program, at, "Form1 Image1 MouseMove", i)
            self.assertTrue(program.running())
            s.display.xdotool("mousemove", *map(str, PHOTO_CORNERS[0]))
            self.assertEqual(program.wait_exit(), 0)
            self.assertEqual(program.events().count("Form1 - MouseMove"), 0)

    def test_failure_boxes_closing_over_the_resting_pointer_are_no_movement(self):
        with Session(1024, 768) as s:
            s.display.xdotool("mousemove", *map(str, PHOTO[1]))
            program = s.start(["/s"], settings={"Interval": "1"})   # no photo folder: a box a tick
            s.wait_for_slide_show(program)
            for _ in range(5):
                box = wait_for(lambda: s.message_boxes(BOX_TITLE), WINDOW_TIMEOUT, "the box")[0]
                s.answer_box(box, BOX_TITLE)
            self.assertTrue(program.running())
            moves = [e for e in program.events() if e.endswith("MouseMove")]
            self.assertEqual(moves, [])

    def test_any_key_ends_it(self):
        for key in ("a", "shift", "F5"):
            with Session(1024, 768) as s:
                program = self.start(s)
                s.display.xdotool("key", key)
                self.assertEqual(program.wait_exit(), 0, key)
                self.assertIn("Form1 - KeyDown", program.events())

    def test_a_click_on_the_photograph_ends_it(self):
        with Session(1024, 768) as s:
            program = self.start(s)
            s.display.xdotool("mousemove", *map(str, PHOTO[0]))
            program.wait_for_events("Form1 Image1 MouseMove", 1)
            s.display.xdotool("click", "1")
            self.assertEqual(program.wait_exit(), 0)
            self.assertIn("Form1 Image1 MouseDown", program.events())

    def test_a_close_from_outside_shows_the_cursor_twice(self):
        with Session(1024, 768) as s:
            program = self.start(s)
            program.close_from_outside()
            self.assertEqual(program.wait_exit(), 0)
            events = program.events()
            tail = events[events.index("Form1 - QueryUnload"):]
            self.assertEqual(tail, ["Form1 - QueryUnload", "ShowCursor 1", "Form1 - Unload",
                                    "ShowCursor 2"])


if __name__ == "__main__":
    unittest.main()
