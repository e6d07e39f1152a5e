"""The slide-show window as a person sees it, on screens of four sizes: the photograph's frame,
the caption panel and the banner stand where the layout puts them (within one pixel), in their
designed colours, before the first photograph arrives. On a high-DPI screen (scale 2: Qt's scale
factor on Linux, the prefix's DPI under Wine) the layout is the logical one, twice as large, and
a photograph's one-pixel detail stays sharp."""
import os
import struct
import tempfile
import unittest
import zlib

from harness import KIND, Session, WINDOW_TIMEOUT, folder_setting, screen_scale, wait_for

# Screen size -> (frame left, frame top, caption panel left, top, banner left, top), in pixels:
# twips / 15, halves rounded up.
LAYOUTS = {
    (800, 600): (4, 0, 274, 489, 110, 513),
    (640, 480): (-76, 0, 194, 489, 30, 513),
    (1024, 768): (116, 93, 386, 582, 222, 606),
    (800, 480): (4, 93, 274, 582, 110, 606),
}
FRAME_W, FRAME_H = 793, 489
BANNER_W, BANNER_H = 580, 75


def near(shot, x, y, predicate):
    """True when the pixel at (x, y), or one of its neighbours, satisfies `predicate`."""
    for dy in (0, -1, 1):
        for dx in (0, -1, 1):
            if 0 <= x + dx < shot.width and 0 <= y + dy < shot.height:
                if predicate(shot.pixel(x + dx, y + dy)):
                    return True
    return False


def shadow(p):
    return all(110 <= c <= 145 for c in p)


def dark_shadow(p):
    return all(54 <= c <= 74 for c in p)


def light(p):
    return all(c >= 240 for c in p)


def black(p):
    return max(p) <= 12


def red(p):
    return p[0] > 128 and p[1] < 90 and p[2] < 90


def brown(p):
    return p[0] > p[2] + 15 and p[0] < 120


def painted(shot, width, height):
    """The design state is on the screen: the photograph, and the caption panel (which appears
    once the window is up) where it is on the screen."""
    fl, ft, yl, yt, _, _ = LAYOUTS[(width, height)]
    photo = shot.count(max(fl, 0) + 8, ft + 8, fl + 785, min(height, ft + 481),
                       lambda p: not black(p), step=25)
    caption = yt + 24 > height or shot.count(yl, yt, yl + 253, yt + 24, red) > 40
    return photo > 100 and caption


def check_design(test, shot, width, height):
    """The frame, the caption panel and the banner where the layout puts them on `shot`."""
    fl, ft, yl, yt, bl, bt = LAYOUTS[(width, height)]
    test.assertTrue(black(shot.pixel(width - 2, height - 2)) or yt + 24 > height - 2,
                    "the window's black surface")
    # The frame: sunken bevel, dark at its top edge, light at its bottom edge.
    test.assertTrue(near(shot, max(fl, 0) + 20, ft, shadow), "frame's top bevel")
    if fl >= 0:
        test.assertTrue(near(shot, fl, ft + 20, shadow), "frame's left bevel")
    if fl + FRAME_W <= width:
        test.assertTrue(near(shot, fl + FRAME_W - 1, ft + 20, light), "right bevel")
    if ft + FRAME_H <= height:
        test.assertTrue(near(shot, fl + 200, ft + FRAME_H - 1, light), "bottom bevel")
        test.assertTrue(near(shot, fl + 200, ft + FRAME_H, black), "black below frame")
    else:
        test.assertTrue(near(shot, fl + 200, height - 1, lambda p: not black(p)),
                        "the photograph reaches the bottom of the screen")
    # The design photograph fills the frame: few black pixels inside.
    inside = shot.count(fl + 8, ft + 8, fl + 8 + 777, min(height, ft + 8 + 473),
                        lambda p: not black(p), step=9)
    test.assertGreater(inside, 0.8 * (777 // 9) * (min(473, height - ft - 8) // 9))
    # The caption panel and the banner, where they are on the screen.
    if yt + 24 <= height:
        test.assertGreater(shot.count(yl, yt, yl + 253, yt + 24, red), 40, "Kelmarion")
        test.assertEqual(shot.count(yl - 30, yt, yl - 1, yt + 24, red), 0)
    if bt + BANNER_H <= height:
        test.assertTrue(near(shot, bl + 1, bt + 30, lambda p: not black(p)), "banner edge")
        test.assertTrue(near(shot, bl - 2, bt + 30, black), "black left of the banner")
        test.assertGreater(shot.count(bl + 2, bt + 2, bl + BANNER_W - 2, bt + BANNER_H - 2,
                                      brown, step=3), 1500, "the banner's brown")


class Composition(unittest.TestCase):
    def check_screen(self, width, height):
        with Session(width, height) as s:
            program = s.start([], settings={"Interval": "60"})
            s.wait_for_slide_show(program)
            wait_for(lambda: painted(s.display.screenshot(), width, height), WINDOW_TIMEOUT,
                     "the design state on the screen")
            check_design(self, s.display.screenshot("design-%dx%d" % (width, height)), width,
                         height)
            self.assertTrue(program.running())

    def test_800x600(self):
        self.check_screen(800, 600)

    def test_640x480(self):
        self.check_screen(640, 480)

    def test_1024x768(self):
        self.check_screen(1024, 768)

    def test_800x480(self):
        self.check_screen(800, 480)



def columns_png(path, width, height):
    """A photograph of alternating one-pixel black and white columns."""
    def chunk(kind, body):
        crc = struct.pack(">I", zlib.crc32(kind + body))
        return struct.pack(">I", len(body)) + kind + body + crc
    row = b"\0" + b"".join(b"\xff\xff\xff" if x % 2 else b"\0\0\0" for x in range(width))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def scale_2_columns(tmp):
    """Settings for a collection in `tmp` of one photograph of one-pixel columns, as large as the
    frame holds at scale 2 on a screen counting as 1024 x 768, shown at once."""
    folder = os.path.join(tmp, "QUILDORS")
    os.mkdir(folder)
    columns_png(os.path.join(folder, "55COLS.PNG"), 2 * 777, 2 * 473)
    return {"Interval": "1", "QuildorsDir": folder_setting(folder)}


def columns_sharp(shot):
    """The columns photograph stands on `shot` (scale 2, 1024 x 768) with its columns apart."""
    fl, ft = (2 * v for v in LAYOUTS[(1024, 768)][:2])
    row = ft + 16 + 473   # the photograph's middle row
    xs = range(fl + 16 + 20, fl + 16 + 1554 - 20)
    return sum(abs(shot.pixel(x, row)[0] - shot.pixel(x + 1, row)[0]) > 150
               for x in xs) / len(xs) > 0.95


class HighDpi(unittest.TestCase):
    def test_scale_2_draws_the_logical_layout_at_device_resolution(self):
        # 2048 x 1536 at scale 2 counts as 1024 x 768: every figure of that layout, doubled.
        fl, ft, yl, yt, bl, bt = (2 * v for v in LAYOUTS[(1024, 768)])
        with tempfile.TemporaryDirectory() as tmp, screen_scale(2) as env, \
                Session(2048, 1536) as s:
            program = s.start(["/s"], settings=scale_2_columns(tmp), env=env)
            wait_for(lambda: columns_sharp(s.display.screenshot()), WINDOW_TIMEOUT,
                     "the photograph's one-pixel columns on the screen")
            shot = s.display.screenshot("scale-2")

            def near2(x, y, predicate):
                return any(predicate(shot.pixel(x + dx, y + dy))
                           for dx in range(-2, 3) for dy in range(-2, 3))
            self.assertTrue(near2(fl, ft + 40, shadow), "frame's left bevel")
            self.assertTrue(near2(fl - 3, ft + 40, black), "black left of the frame")
            self.assertTrue(near2(fl + 2 * FRAME_W - 1, ft + 40, light), "frame's right bevel")
            self.assertTrue(near2(fl + 400, ft + 2 * FRAME_H - 1, light), "frame's bottom bevel")
            self.assertTrue(near2(bl + 2, bt + 60, lambda p: not black(p)), "banner's left edge")
            self.assertTrue(near2(bl - 4, bt + 60, black), "black left of the banner")
            self.assertGreater(shot.count(yl, yt, yl + 2 * 253, yt + 2 * 24, red), 160,
                               "the caption, in a font twice as large")
            self.assertTrue(program.running())

    @unittest.skipUnless(KIND == "linux", "one scale under Wine")
    def test_scale_1_5_keeps_the_column_without_gap_or_overlap(self):
        # 1536 x 1152 at scale 1.5 counts as 1024 x 768. The frame ends at logical row 582, where
        # the caption panel begins; the panel ends at 606, where the banner begins; the banner
        # ends at 681: device rows 873, 909 and 1021.5.
        with Session(1536, 1152) as s:
            program = s.start(["/s"], settings={"Interval": "60"}, env={"QT_SCALE_FACTOR": "1.5"})
            wait_for(lambda: s.display.screenshot().count(579, 873, 959, 909, red) > 60,
                     WINDOW_TIMEOUT, "the caption panel on the screen")
            shot = s.display.screenshot("scale-1.5")
            x = 768
            self.assertTrue(light(shot.pixel(x, 872)), "the frame's light bevel, to its last row")
            self.assertFalse(light(shot.pixel(x, 873)), "the caption panel from the next row")
            self.assertTrue(black(shot.pixel(x, 908)), "the caption panel to its last row")
            self.assertTrue(shadow(shot.pixel(x, 909)), "the banner's border from the next row")
            self.assertEqual([dark_shadow(shot.pixel(x, y)) for y in range(909, 914)],
                             [False, False, True, True, False], "rings of two rows each")
            self.assertTrue(shadow(shot.pixel(x, 910)), "the outer ring's second row")
            self.assertFalse(black(shot.pixel(x, 1021)), "the banner to its last row")
            self.assertTrue(black(shot.pixel(x, 1023)), "black below the banner")
            self.assertTrue(program.running())


if __name__ == "__main__":
    unittest.main()
