"""The slide show as a person sees it: the photographs of the folder one after the other, each
filling the frame, with its caption; a missing folder brings the message box, one at a time."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import KIND, Session, WINDOW_TIMEOUT, folder_setting, wait_for

# Solid colours, one per photograph, easy to tell apart on the screen.
PHOTOS = {"MA0001.JPG": (220, 30, 30), "55COUPE.JPG": (30, 200, 40), "SP0002.JPG": (40, 60, 220)}
# Image1 on a 1024 x 768 screen: the frame at (116, 93) and the picture 8 pixels inside it.
PHOTO_RECT = (124, 101, 124 + 777, 101 + 473)
CAPTION_RECT = (386, 582, 386 + 253, 582 + 24)
BOX_TITLE = "The Quildor Anthology Screen Saver"


def close_to(p, colour, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(p, colour))


def which_photo(shot):
    """The name of the photograph filling Image1, or None."""
    x0, y0, x1, y1 = PHOTO_RECT
    for name, colour in PHOTOS.items():
        corners = [shot.pixel(x0 + 2, y0 + 2), shot.pixel(x1 - 3, y1 - 3),
                   shot.pixel((x0 + x1) // 2, (y0 + y1) // 2)]
        if all(close_to(p, colour) for p in corners):
            return name
    return None


def caption_signature(shot):
    """The set of red pixels of the caption panel: the caption's text, as drawn."""
    x0, y0, x1, y1 = CAPTION_RECT
    return frozenset((x, y) for y in range(y0, y1) for x in range(x0, x1)
                     if shot.pixel(x, y)[0] > 128 and shot.pixel(x, y)[1] < 90)


class SlideShow(unittest.TestCase):
    def test_photographs_follow_one_another_with_their_captions(self):
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768) as s:
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            for name, (r, g, b) in PHOTOS.items():
                subprocess.run(["convert", "-size", "320x200", "xc:rgb(%d,%d,%d)" % (r, g, b),
                                os.path.join(folder, name)], check=True)
            os.mkdir(os.path.join(folder, "SUBFOLDER"))
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(folder)})
            s.wait_for_slide_show(program)

            # Watch the screen until the photographs have gone round twice; note each change,
            # and the captions seen during each photograph's time on the screen.
            shown, runs = [], []
            deadline = time.monotonic() + 60
            while len(shown) < 2 * len(PHOTOS) + 1 and time.monotonic() < deadline:
                shot = s.display.screenshot()
                name = which_photo(shot)
                if name and (not shown or shown[-1] != name):
                    shown.append(name)
                    runs.append((name, []))
                    if len(shown) == 2:
                        s.display.screenshot("slideshow")
                if name:
                    runs[-1][1].append(caption_signature(shot))
            self.assertGreaterEqual(len(shown), 2 * len(PHOTOS) + 1, shown)
            self.assertTrue(program.running())

            # One pass visits every photograph once, and the passes repeat in the same order:
            # the file system's own order, where this machine can tell it.
            first_pass = shown[:len(PHOTOS)]
            self.assertEqual(sorted(first_pass), sorted(PHOTOS))
            self.assertEqual(shown[len(PHOTOS):2 * len(PHOTOS)], first_pass)
            if KIND == "linux":
                order = [n for n in os.listdir(folder) if n in PHOTOS]
                self.assertEqual(first_pass, order)
            # Each photograph has its caption: the one on the screen in the middle of its time
            # there (the panel and the picture repaint separately, so the first or last look
            # may catch the neighbour's), the same at each of its turns; the three category
            # codes give three different captions.
            settled = {}
            for name, sigs in runs[:-1]:   # the last turn may have been cut short
                settled.setdefault(name, []).append(sigs[len(sigs) // 2])
            captions = {}
            for name, sigs in settled.items():
                captions[name] = max(set(sigs), key=sigs.count)
            self.assertEqual(len(captions), len(PHOTOS), shown)
            self.assertEqual(len(set(captions.values())), len(PHOTOS))
            self.assertTrue(all(len(sig) > 30 for sig in captions.values()))

    def test_a_camera_photograph_stands_upright(self):
        # Stored lying on its side with the orientation tag 6: upright, its top-left quarter is
        # red and the rest blue, stretched over the whole frame.
        data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768) as s:
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            shutil.copy(os.path.join(data, "orientation6.jpg"), os.path.join(folder, "55TURN.JPG"))
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(folder)})
            s.wait_for_slide_show(program)
            x0, y0, x1, y1 = PHOTO_RECT
            w, h = x1 - x0, y1 - y0
            quarters = [(x0 + w // 4, y0 + h // 4), (x0 + 3 * w // 4, y0 + h // 4),
                        (x0 + w // 4, y0 + 3 * h // 4), (x0 + 3 * w // 4, y0 + 3 * h // 4)]

            def upright():
                shot = s.display.screenshot()
                seen = [shot.pixel(x, y) for x, y in quarters]
                return close_to(seen[0], (255, 0, 0)) and all(
                    close_to(p, (0, 0, 255)) for p in seen[1:])
            wait_for(upright, WINDOW_TIMEOUT, "the photograph upright in the frame")
            s.display.screenshot("upright")

    def test_the_window_carries_the_cars_icon_and_the_programs_name(self):
        with Session(800, 600) as s:
            window = s.wait_for_slide_show(s.start(["/s"]))
            props = s.display.run("xprop", "-id", str(window), "WM_CLASS", "_NET_WM_ICON").stdout
            self.assertIn("Icon (32 x 32)", props)
            if KIND == "linux":
                self.assertIn('"Quildor"', props.splitlines()[0])

    def test_a_missing_folder_shows_one_box_at_a_time(self):
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768) as s:
            folder = os.path.join(tmp, "QUILDORS")
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(folder)})
            s.wait_for_slide_show(program)

            def boxes():
                return s.message_boxes(BOX_TITLE)

            box = wait_for(boxes, WINDOW_TIMEOUT, "the message box")[0]
            s.display.screenshot("missing-folder")
            # Several ticks fall due while the box is open; none opens another one.
            end = time.monotonic() + 3.5
            while time.monotonic() < end:
                self.assertLessEqual(len(boxes()), 1)
                time.sleep(0.1)
            self.assertTrue(program.running())
            # The box is modal: a key that does not answer it neither ends the show nor closes it.
            s.display.xdotool("key", "a")
            time.sleep(0.5)
            self.assertTrue(program.running())
            self.assertEqual(boxes(), [box])
            self.assertNotIn("Form1 - KeyDown", program.events())
            if KIND == "linux":   # the box inside the show answers Escape too
                s.display.xdotool("key", "Escape")
                wait_for(lambda: box not in boxes(), WINDOW_TIMEOUT, "the box to close")
                box = wait_for(boxes, WINDOW_TIMEOUT, "the next tick's box")[0]
            for _ in range(2):
                s.answer_box(box, BOX_TITLE)
                box = wait_for(boxes, WINDOW_TIMEOUT, "the next tick's box")[0]
                self.assertEqual(len(boxes()), 1)
            self.assertTrue(program.running())
            if KIND != "linux":
                return
            # On Linux a folder that does not exist is a disc not yet mounted: once it appears,
            # well after the third tick, the show begins.
            os.mkdir(folder)
            subprocess.run(["convert", "-size", "320x200", "xc:rgb(30,200,40)",
                            os.path.join(folder, "55COUPE.JPG")], check=True)
            s.answer_box(box, BOX_TITLE)
            wait_for(lambda: which_photo(s.display.screenshot()) == "55COUPE.JPG",
                     WINDOW_TIMEOUT, "the photograph of the folder that appeared")
            self.assertEqual(boxes(), [])

if __name__ == "__main__":
    unittest.main()
