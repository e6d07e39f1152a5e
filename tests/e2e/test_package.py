"""The Debian package as a user meets it: built by CPack, installed with dpkg, the installed
program's settings dialog and slide show run from the installed path, then removed with nothing of
it left. Run as a script: it needs root (dpkg), and it leaves alone a machine where the package is
installed already; both are reported as skips (status 77)."""
import glob
import os
import subprocess
import sys
import unittest
from xml.etree import ElementTree

from harness import Session, WINDOW_TIMEOUT

BUILD = os.environ.get("QUILDOR_BUILD", "")
CPACK = os.environ.get("QUILDOR_CPACK", "cpack")
INSTALLED = "/usr/bin/quildor"
AUTOSTART = "/etc/xdg/autostart/quildor-idle.desktop"


def installed():
    out = subprocess.run(["dpkg-query", "-W", "-f=${Status}", "quildor"], capture_output=True,
                         text=True).stdout
    return out.endswith(" installed")


class DebianPackage(unittest.TestCase):
    def test_install_run_remove(self):
        subprocess.run([CPACK, "-G", "DEB"], cwd=BUILD, check=True, capture_output=True,
                       timeout=600)
        deb = sorted(glob.glob(os.path.join(BUILD, "quildor_*.deb")))[-1]
        depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], check=True,
                                 capture_output=True, text=True).stdout
        for library in ("libqt6widgets6", "libjpeg62-turbo", "libc6"):
            self.assertIn(library, depends, "computed from the program")
        recommends = subprocess.run(["dpkg-deb", "-f", deb, "Recommends"], check=True,
                                    capture_output=True, text=True).stdout
        self.assertIn("qt6-wayland", recommends, "Qt's Wayland plugin, not a dependency")

        subprocess.run(["dpkg", "-i", deb], check=True, capture_output=True, timeout=120)
        try:
            files = subprocess.run(["dpkg", "-L", "quildor"], check=True, capture_output=True,
                                   text=True).stdout.split("\n")
            for path in (INSTALLED, "/usr/bin/quildor-idle", AUTOSTART,
                         "/usr/share/man/man6/quildor.6.gz",
                         "/usr/share/xscreensaver/config/quildor.xml",
                         "/usr/share/applications/quildor.desktop",
                         "/usr/share/doc/quildor/README.md"):
                self.assertIn(path, files)
            # The watcher's autostart entry is installed, and off.
            with open(AUTOSTART) as f:
                entry = f.read().splitlines()
            self.assertIn("Hidden=true", entry)
            self.assertIn("Exec=quildor-idle 300", entry)
            hack = ElementTree.parse("/usr/share/xscreensaver/config/quildor.xml").getroot()
            self.assertEqual((hack.tag, hack.get("name")), ("screensaver", "quildor"))
            with Session(800, 600) as s:
                dialog = s.start(["/c"], exe=INSTALLED)
                s.wait_for_window(dialog, "Screen Saver Settings")
                dialog.close_from_outside()
                self.assertEqual(dialog.wait_exit(), 0)
                show = s.start(["/s"], settings={"Interval": "1"}, exe=INSTALLED)
                s.wait_for_slide_show(show)
                s.display.xdotool("key", "space")
                self.assertEqual(show.wait_exit(), 0)
        finally:
            subprocess.run(["dpkg", "-r", "quildor"], check=True, capture_output=True,
                           timeout=120)
        self.assertFalse(installed())
        left = [f for f in files if f and not os.path.isdir(f) and os.path.lexists(f)]
        self.assertEqual(left, [], "files of the package left after its removal")


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("skipped: installing a package needs root")
        sys.exit(77)
    if installed():
        print("skipped: quildor is installed on this machine, and the test would remove it")
        sys.exit(77)
    unittest.main(verbosity=2)
