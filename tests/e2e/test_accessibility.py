"""The settings dialog and the slide show's box as a screen reader on Linux sees them, over AT-SPI
(the accessibility bus of a D-Bus session the test starts): the dialog, its three push buttons
and the spin box by role and name, the spin box's value as the value panel shows it, and the
announcement when a key changes it; the box inside the slide show as an alert with its title,
its message and OK focused. Windows' side is read in the Win32 backend test, through the system's
accessibility interface (its box is the system's own)."""
import json
import os
import select
import subprocess
import time
import unittest

from harness import KIND, SYSTEM_PYTHON, Session, WINDOW_TIMEOUT, wait_for

BOX_TITLE = "The Quildor Anthology Screen Saver"

HERE = os.path.dirname(os.path.abspath(__file__))
PROBE = os.path.join(HERE, "atspi-probe")


@unittest.skipUnless(KIND == "linux", "AT-SPI is the Linux desktops' accessibility interface")
class Accessibility(unittest.TestCase):
    """The program started with `args` and `settings` on a session bus of the test's own, with
    the accessibility bridge on."""
    args, settings = (), {}

    def setUp(self):
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(self.bus.stdout.close)
        self.addCleanup(self.bus.wait, 30)
        self.addCleanup(self.bus.terminate)
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus.stdout.readline().strip())
        self.session = Session(800, 600)
        self.addCleanup(self.session.close)
        self.env["DISPLAY"] = self.session.display.name
        self.program = self.session.start(list(self.args), settings=dict(self.settings), env={
            "DBUS_SESSION_BUS_ADDRESS": self.env["DBUS_SESSION_BUS_ADDRESS"],
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})

    def tree(self):
        out = subprocess.run([SYSTEM_PYTHON, PROBE, "tree", "Quildor"], env=self.env, check=True,
                             capture_output=True, text=True, timeout=WINDOW_TIMEOUT).stdout
        return json.loads(out)

    def one(self, nodes, role, name):
        found = [n for n in nodes if n["role"] == role and n["name"] == name]
        self.assertEqual(len(found), 1, "one %s named %r in %s" % (role, name, nodes))
        return found[0]

    def keys(self, *keys):
        for key in keys:
            self.session.display.xdotool("key", key)



class DialogAccessibility(Accessibility):
    args = ["/c"]

    def test_buttons_and_spin_box_by_role_name_and_value(self):
        self.session.wait_for_window(self.program, "Screen Saver Settings")
        self.program.wait_for_events("Focus SSCommand4", 1)
        nodes = self.tree()
        self.one(nodes, "ROLE_DIALOG", "Screen Saver Settings")
        for name in ("Set", "Help", "Exit"):
            self.assertTrue(self.one(nodes, "ROLE_PUSH_BUTTON", name)["focusable"])
        self.assertTrue(self.one(nodes, "ROLE_PUSH_BUTTON", "Set")["focused"])
        spin = self.one(nodes, "ROLE_SPIN_BUTTON", "Set Slide Show Delay")
        self.assertEqual((spin["value"], spin["text"]), (1.0, "1 Second"))
        self.assertEqual(len([n for n in nodes if n["role"] == "ROLE_PUSH_BUTTON"]), 3,
                         "the spin box's arrows are part of it, not buttons of their own")

        watcher = subprocess.Popen([SYSTEM_PYTHON, PROBE, "watch"], env=self.env,
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(watcher.stdout.close)
        self.addCleanup(watcher.wait, 30)
        self.addCleanup(watcher.stdin.close)
        self.assertEqual(watcher.stdout.readline().strip(), "ready")
        # The program learns of the listeners over the bus; a focus event it sends shows that it
        # has (Tab and back until one comes).
        lines = []

        def focus_event_seen():
            self.keys("Tab", "shift+Tab")
            return self.read_until(watcher, lines, "focused Set", 2)
        wait_for(focus_event_seen, WINDOW_TIMEOUT, "a focus event over AT-SPI")

        self.keys("Tab", "Tab", "Tab", "Down")
        self.assertTrue(self.read_until(watcher, lines, "value Set Slide Show Delay 60.0 60 Seconds",
                                        WINDOW_TIMEOUT), lines)
        self.assertIn("focused Set Slide Show Delay", lines)
        spin = self.one(self.tree(), "ROLE_SPIN_BUTTON", "Set Slide Show Delay")
        self.assertEqual((spin["value"], spin["text"], spin["focused"]), (60.0, "60 Seconds", True))

    @staticmethod
    def read_until(watcher, lines, wanted, timeout):
        """Reads the watcher's lines into `lines` until `wanted` comes or `timeout` passes."""
        deadline = time.monotonic() + timeout
        while wanted not in lines:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([watcher.stdout], [], [], left)[0]:
                return False
            line = watcher.stdout.readline()
            if not line:
                return False
            lines.append(line.strip())
        return True


class BoxAccessibility(Accessibility):
    """The box asking for the disc, drawn inside the slide show, is heard as the separate box it
    stands for: an alert (or dialog) named by its title, its message exposed, OK focused."""
    args = ["/s"]
    settings = {"Interval": "1"}   # no photo folder: the box at the first tick

    def test_the_box_inside_the_show_is_an_alert_with_its_message(self):
        wait_for(lambda: self.session.message_boxes(BOX_TITLE), WINDOW_TIMEOUT, "the box")
        nodes = self.tree()
        boxes = [n for n in nodes if n["role"] in ("ROLE_ALERT", "ROLE_DIALOG")
                 and n["name"] == BOX_TITLE]
        self.assertEqual(len(boxes), 1, nodes)
        message = "Unable to find Quildor photographs!\n\nMake sure that the Quildor Anthology " \
                  "is in the CDROM drive."
        self.assertEqual(boxes[0]["description"], message)
        ok = self.one(nodes, "ROLE_PUSH_BUTTON", "OK")
        self.assertTrue(ok["focused"], ok)


if __name__ == "__main__":
    unittest.main()
