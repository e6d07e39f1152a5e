"""Reliability as a user meets it: twenty starts at the same instant give one slide show, and a
folder of hostile files, or a photograph that cannot be read, costs each file its tick and the
message, nothing more. On Windows, messages that another program posts to the loader's window,
with parameters of its choosing, change nothing: the photographs go on changing."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import KIND, Session, WINDOW_TIMEOUT, folder_setting, wait_for, wine_env, wine_run

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
BOX_TITLE = "The Quildor Anthology Screen Saver"


def green_photo(colour):
    return abs(colour[0] - 30) < 40 and abs(colour[1] - 200) < 40 and abs(colour[2] - 40) < 40


class Reliability(unittest.TestCase):
    def show_goes_on_past_boxes(self, s, program):
        """Closes each box the bad files bring, until the good (green) photograph is on the screen
        after at least one box: the show went on past them."""
        s.wait_for_slide_show(program)

        seen_boxes = 0
        deadline = time.monotonic() + 120
        while not (seen_boxes > 0 and green_photo(s.display.screenshot().pixel(500, 300))):
            self.assertLess(time.monotonic(), deadline, "the good photograph never came")
            self.assertTrue(program.running())
            found = s.message_boxes(BOX_TITLE)
            if found:
                self.assertEqual(len(found), 1)
                seen_boxes += 1
                s.answer_box(found[0], BOX_TITLE)
            time.sleep(0.1)

    @unittest.skipUnless(KIND == "wine", "the loader's window is the Windows program's")
    def test_messages_another_program_posts_to_the_loader_change_nothing(self):
        photos = os.path.join(os.path.dirname(DATA), "..", "samples", "QUILDORS")
        with Session(800, 600) as s:
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(photos)})
            s.wait_for_slide_show(program)
            loaded = "Form1 Timer1 LoadComplete"
            program.wait_for_events(loaded, 1)
            forged = wine_run([os.environ["QUILDOR_FORGE_MESSAGES"]], wine_env(s.display),
                              check=True)
            self.assertIn("posted 64", forged.stdout)
            before = program.events().count(loaded)
            wait_for(lambda: program.events().count(loaded) >= before + 2 or not program.running(),
                     WINDOW_TIMEOUT, "two more photographs")
            self.assertTrue(program.running(), "the show goes on")
            self.assertGreaterEqual(program.events().count(loaded), before + 2)

    def test_twenty_starts_at_the_same_instant_give_one_slide_show(self):
        with Session(800, 600) as s:
            programs = [s.start(["/s"], settings={"Interval": "60"} if i == 0 else None)
                        for i in range(20)]
            window = wait_for(s.display.full_screen_windows, 3 * WINDOW_TIMEOUT,
                              "a slide show")[0]

            def ended():
                return sum(1 for p in programs if not p.running()) >= 19
            wait_for(ended, 3 * WINDOW_TIMEOUT, "nineteen starts to end")
            running = [p for p in programs if p.running()]
            self.assertEqual(len(running), 1)
            self.assertTrue(all(p.proc.returncode == 0 for p in programs if p not in running))
            self.assertEqual(s.display.full_screen_windows(), [window])
            s.display.xdotool("key", "space")
            self.assertEqual(running[0].wait_exit(), 0)

    def test_hostile_files_cost_their_tick_and_the_show_goes_on(self):
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768) as s:
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            for name in ("bomb.jpg", "bomb.png", "bomb.gif", "truncated.jpg", "truncated.png",
                         "empty.jpg", "text.jpg"):
                shutil.copy(os.path.join(DATA, name), os.path.join(folder, "X" + name.upper()))
            with open(os.path.join(folder, "SPARSE.JPG"), "wb") as f:
                f.truncate(1 << 30)
            os.symlink(tmp, os.path.join(folder, "LINKDIR.JPG"))
            os.symlink("LOOP.JPG", os.path.join(folder, "LOOP.JPG"))
            if KIND == "linux":
                os.mkfifo(os.path.join(folder, "PIPE.JPG"))
            subprocess.run(["convert", "-size", "320x200", "xc:rgb(30,200,40)",
                            os.path.join(folder, "55GOOD é.JPG")], check=True)
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(folder)})
            self.show_goes_on_past_boxes(s, program)
            s.display.screenshot("hostile-folder")
            self.assertTrue(program.running())

    def test_a_photograph_that_cannot_be_read_costs_its_tick_only(self):
        # Linux: a file its user may not read. Windows: a file another program holds open
        # without sharing it (an editor, a virus scanner).
        with Session(1024, 768, unprivileged=True) as s:
            folder = os.path.join(s.home, "QUILDORS")
            os.mkdir(folder)
            locked = os.path.join(folder, "MALOCKED.JPG")
            shutil.copy(os.path.join(DATA, "baseline.jpg"), locked)
            subprocess.run(["convert", "-size", "320x200", "xc:rgb(30,200,40)",
                            os.path.join(folder, "55GOOD.JPG")], check=True)
            with open(locked, "rb") as f:
                content = f.read()
            s.make_unreadable(locked)
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(folder)})
            self.show_goes_on_past_boxes(s, program)
            s.display.screenshot("unreadable-photo")
            self.assertTrue(program.running())
            os.chmod(locked, 0o644)
            with open(locked, "rb") as f:
                self.assertEqual(f.read(), content, "the photograph is left as it was")


if __name__ == "__main__":
    unittest.main()
