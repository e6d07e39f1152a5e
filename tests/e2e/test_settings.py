"""Stored settings as a real run reads them: a bad "Interval" stops the run before anything is
shown, with a message box titled with the program's name, and a non-zero exit status."""
import unittest

from harness import APP_TITLE, Session, WINDOW_TIMEOUT, wait_for


class BadInterval(unittest.TestCase):
    def check_fatal(self, text):
        with Session(800, 600) as s:
            program = s.start(["/s"], settings={"Interval": text})
            box = wait_for(lambda: s.display.run("xdotool", "search", "--onlyvisible", "--name",
                                                 "^" + APP_TITLE + "$", check=False).stdout.split(),
                           WINDOW_TIMEOUT, "the error box")[0]
            self.assertEqual(s.display.full_screen_windows(), [], "no slide show")
            self.assertTrue(program.running(), "the box waits for the user")
            s.display.screenshot("bad-interval-" + text)
            s.display.xdotool("windowfocus", "--sync", box, check=False)
            s.display.xdotool("key", "Return")
            self.assertEqual(program.wait_exit(), 1)

    def test_letters(self):
        self.check_fatal("abc")

    def test_too_long_for_the_timer(self):
        self.check_fatal("3000000")


if __name__ == "__main__":
    unittest.main()
