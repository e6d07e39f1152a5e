"""The slide show on the compositors of today's Linux desktops (weston, kwin, mutter), each with
two outputs, natively (Qt's Wayland plugin) and through Xwayland (Qt's X11 plugin, as a user
without Qt's Wayland plugin gets): the compositor lives through it; the show on the output at the
layout's origin, the other output black; the box asking for the disc drawn inside the show and
answered by Enter; the photographs following one another; a key ends the show. Run as a script:
where a compositor is not installed it reports a skip (status 77)."""
import os
import shutil
import tempfile
import unittest

from harness import Session, WINDOW_TIMEOUT, folder_setting, main_reporting_skips, wait_for
from nested import COMPOSITORS, Nested
from test_composition import black, check_design, painted
from test_wayland import PHOTO, SAMPLES, box_on

TITLE = "The Quildor Anthology Screen Saver"
PANEL = 40   # the height of weston's panel, with room to spare


class Checks:
    kind = None
    platform = None

    def test_box_inside_photographs_and_a_key(self):
        with tempfile.TemporaryDirectory() as tmp, \
                Session(display=Nested(self.kind, self.platform == "xcb")) as s:
            os.chmod(tmp, 0o755)
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            name = "%s-%s-" % (self.kind, self.platform)
            # The pointer rests over the second output, which the show's cover then hides.
            s.display.move(1024 + 300, 300)
            program = s.start(["/s"], {"Interval": "1", "QuildorsDir": folder_setting(folder)},
                              env=dict(s.display.env, QT_QPA_PLATFORM=self.platform))

            def first():
                if not s.display.alive():
                    raise AssertionError("the compositor ended: %s" % s.display.log_text()[-600:])
                if not program.running():
                    raise AssertionError("the program ended with %s" % program.proc.returncode)
                return s.display.screenshot("first")
            wait_for(lambda: box_on(first()) and s.message_boxes(TITLE), WINDOW_TIMEOUT,
                     "the box asking for the disc inside the show on the first output")
            self.assertEqual(panels(s.display.screenshot("first", name + "box")), 0,
                             "nothing of the desktop over the show")
            # A compositor may keep its own pointer over a window that appears under the resting
            # pointer until the pointer moves (weston 14 does); once it has, nothing shows.
            s.display.move(1024 + 320, 320)
            top = PANEL if s.display.panel_over_covers else 0
            wait_for(lambda: not s.display.screenshot("second").count(
                0, top, 800, 600, lambda p: not black(p), step=2), WINDOW_TIMEOUT,
                "the second output black, with no pointer")
            s.display.screenshot("second", name + "second")

            for photo in ("55COUPE.JPG", "56SEDAN.JPG"):
                shutil.copy(os.path.join(SAMPLES, photo), folder)
            s.answer_box(s.message_boxes(TITLE)[0], TITLE)
            wait_for(lambda: painted(first(), 1024, 768), WINDOW_TIMEOUT, "a photograph")
            shown = photo_of(first())
            wait_for(lambda: photo_of(first()) != shown, WINDOW_TIMEOUT, "the next photograph")
            shot = first()
            check_design(self, shot, 1024, 768)
            self.assertEqual(panels(shot), 0, "nothing of the desktop over the show")
            s.display.key("space")
            self.assertEqual(program.wait_exit(), 0, "a key ends the show")
            self.assertTrue(s.display.alive(), "the compositor lives on")


def panels(shot):
    """Pixels that are not black in the layout's empty bands along the top and bottom edges,
    where a desktop's panel or dock would show."""
    def lit(p):
        return not black(p)
    return (shot.count(0, 0, shot.width, 80, lit, step=3) +
            shot.count(0, shot.height - 60, shot.width, shot.height, lit, step=3))


def photo_of(shot):
    return [shot.pixel(x, y) for x in range(PHOTO[0], PHOTO[2], 37)
            for y in range(PHOTO[1], PHOTO[3], 41)]


# One test case per compositor and Qt plugin (the desktops' services add nothing to what the
# show does on their compositor).
for _kind in COMPOSITORS:
    for _platform, _how in (("wayland", "Native"), ("xcb", "Xwayland")):
        _name = "%s%s" % (_kind.capitalize(), _how)
        globals()[_name] = type(_name, (Checks, unittest.TestCase),
                                {"kind": _kind, "platform": _platform})


if __name__ == "__main__":
    main_reporting_skips()
