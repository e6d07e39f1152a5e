"""The slide-show window as a person sees it, on screens of four sizes: the photograph's frame,
the caption panel and the banner stand where the layout puts them (within one pixel), in their
designed colours, before the first photograph arrives."""
import unittest

from harness import Session, WINDOW_TIMEOUT, wait_for

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


def light(p):
    return all(c >= 240 for c in p)


def black(p):
    return max(p) <= 12


def red(p):
    return p[0] > 128 and p[1] < 90 and p[2] < 90


def brown(p):
    return p[0] > p[2] + 15 and p[0] < 120


class Composition(unittest.TestCase):
    def check_screen(self, width, height):
        fl, ft, yl, yt, bl, bt = LAYOUTS[(width, height)]
        with Session(width, height) as s:
            program = s.start([], settings={"Interval": "60"})
            s.wait_for_slide_show(program)
            # Wait until the window is painted: the photograph, and the caption panel (which
            # appears once the window is up) where it is on the screen.
            def painted():
                shot = s.display.screenshot()
                photo = shot.count(max(fl, 0) + 8, ft + 8, fl + 785, min(height, ft + 481),
                                   lambda p: not black(p), step=25)
                caption = yt + 24 > height or shot.count(yl, yt, yl + 253, yt + 24, red) > 40
                return photo > 100 and caption
            wait_for(painted, WINDOW_TIMEOUT, "the design state on the screen")
            shot = s.display.screenshot("design-%dx%d" % (width, height))

            self.assertTrue(black(shot.pixel(width - 2, height - 2)) or yt + 24 > height - 2,
                            "the window's black surface")
            # The frame: sunken bevel, dark at its top edge, light at its bottom edge.
            self.assertTrue(near(shot, max(fl, 0) + 20, ft, shadow), "frame's top bevel")
            if fl >= 0:
                self.assertTrue(near(shot, fl, ft + 20, shadow), "frame's left bevel")
            if fl + FRAME_W <= width:
                self.assertTrue(near(shot, fl + FRAME_W - 1, ft + 20, light), "right bevel")
            if ft + FRAME_H <= height:
                self.assertTrue(near(shot, fl + 200, ft + FRAME_H - 1, light), "bottom bevel")
                self.assertTrue(near(shot, fl + 200, ft + FRAME_H, black), "black below frame")
            else:
                self.assertTrue(near(shot, fl + 200, height - 1, lambda p: not black(p)),
                                "the photograph reaches the bottom of the screen")
            # The design photograph fills the frame: few black pixels inside.
            inside = shot.count(fl + 8, ft + 8, fl + 8 + 777, min(height, ft + 8 + 473),
                                lambda p: not black(p), step=9)
            self.assertGreater(inside, 0.8 * (777 // 9) * (min(473, height - ft - 8) // 9))
            # The caption panel and the banner, where they are on the screen.
            if yt + 24 <= height:
                self.assertGreater(shot.count(yl, yt, yl + 253, yt + 24, red), 40, "Kelmarion")
                self.assertEqual(shot.count(yl - 30, yt, yl - 1, yt + 24, red), 0)
            if bt + BANNER_H <= height:
                self.assertTrue(near(shot, bl + 1, bt + 30, lambda p: not black(p)), "banner edge")
                self.assertTrue(near(shot, bl - 2, bt + 30, black), "black left of the banner")
                self.assertGreater(shot.count(bl + 2, bt + 2, bl + BANNER_W - 2, bt + BANNER_H - 2,
                                              brown, step=3), 1500, "the banner's brown")
            self.assertTrue(program.running())

    def test_800x600(self):
        self.check_screen(800, 600)

    def test_640x480(self):
        self.check_screen(640, 480)

    def test_1024x768(self):
        self.check_screen(1024, 768)

    def test_800x480(self):
        self.check_screen(800, 480)


if __name__ == "__main__":
    unittest.main()
