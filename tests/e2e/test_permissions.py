"""Folders and files the user may not read or write, met by the Linux program running as a user who
is not root: an unreadable photo folder counts as a disc that cannot be read (the message, and the
show begins once it can be read); an unreadable settings file or an unwritable settings folder
stops the run with a message, and the stored settings stay exactly as they were."""
import os
import subprocess
import tempfile
import unittest

from harness import APP_TITLE, Session, WINDOW_TIMEOUT, hand_over, set_linux_settings, wait_for
from test_dialog import ORIGIN, SET, white
from test_reliability import BOX_TITLE, green_photo

INI = APP_TITLE + ".ini"


class Permissions(unittest.TestCase):
    def stored(self, s):
        """The settings folder with Interval=5 stored, the file's path and its text."""
        config = os.path.join(s.home, "config")
        set_linux_settings({"Interval": "5"}, config)
        path = os.path.join(config, INI)
        with open(path, encoding="utf-8") as f:
            return config, path, f.read()

    def assert_kept(self, path, text, mode):
        self.assertEqual(os.stat(path).st_mode & 0o777, mode)
        os.chmod(path, 0o600)
        with open(path, encoding="utf-8") as f:
            self.assertEqual(f.read(), text, "the settings file is left as it was")

    def test_an_unreadable_photo_folder_asks_for_the_disc_until_it_can_be_read(self):
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768, unprivileged=True) as s:
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            subprocess.run(["convert", "-size", "320x200", "xc:rgb(30,200,40)",
                            os.path.join(folder, "55GOOD.JPG")], check=True)
            hand_over(tmp)
            os.chmod(folder, 0)   # TemporaryDirectory restores the rights it needs to clean up
            program = s.start(["/s"], settings={"Interval": "1", "QuildorsDir": folder + "/"})
            s.wait_for_slide_show(program)
            found = wait_for(lambda: s.message_boxes(BOX_TITLE), WINDOW_TIMEOUT,
                             "the message box")
            s.display.screenshot("unreadable-folder")
            os.chmod(folder, 0o755)
            s.answer_box(found[0], BOX_TITLE)
            wait_for(lambda: green_photo(s.display.screenshot().pixel(500, 300)),
                     WINDOW_TIMEOUT, "the photograph once the folder can be read")
            self.assertTrue(program.running())
            self.assertEqual(os.listdir(folder), ["55GOOD.JPG"])

    def test_an_unreadable_settings_file_stops_the_run_and_is_kept(self):
        with Session(800, 600, unprivileged=True) as s:
            _, path, text = self.stored(s)
            os.chmod(path, 0)
            program = s.start(["/s"])
            found = wait_for(lambda: s.message_boxes(APP_TITLE), WINDOW_TIMEOUT,
                             "the error box")
            self.assertEqual(s.display.full_screen_windows(), [], "no slide show")
            s.display.screenshot("unreadable-settings")
            s.answer_box(found[0], APP_TITLE)
            self.assertEqual(program.wait_exit(), 1)
            self.assert_kept(path, text, 0)

    def test_an_unwritable_settings_folder_fails_set_and_keeps_the_stored_delay(self):
        with Session(800, 600, unprivileged=True) as s:
            config, path, text = self.stored(s)
            mode = os.stat(path).st_mode & 0o777
            os.chmod(config, 0o555)
            try:
                program = s.start(["/c"])
                s.wait_for_window(program, "Screen Saver Settings")
                wait_for(lambda: white(s.display.screenshot().pixel(ORIGIN[0] + 100,
                                                                    ORIGIN[1] + 40)),
                         WINDOW_TIMEOUT, "the dialog painted")
                s.display.xdotool("mousemove", str(ORIGIN[0] + SET[0]), str(ORIGIN[1] + SET[1]),
                                  "click", "1")
                found = wait_for(lambda: s.message_boxes(APP_TITLE), WINDOW_TIMEOUT,
                                 "the error box")
                s.display.screenshot("unwritable-settings")
                s.answer_box(found[0], APP_TITLE)
                self.assertEqual(program.wait_exit(), 1)
                self.assertEqual(os.listdir(config), [INI], "no temporary file is left")
            finally:
                os.chmod(config, 0o755)
            self.assert_kept(path, text, mode)


if __name__ == "__main__":
    unittest.main()
