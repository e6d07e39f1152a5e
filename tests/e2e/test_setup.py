"""The Windows setup program under Wine, as a user runs it: "setup.exe /S" installs the 64-bit
Quildor.scr into the 64-bit system folder (the 32-bit one gets nothing), makes it the current
screen saver and registers its uninstaller; the installed file runs the slide show; the
uninstaller removes all of it, and leaves a screen saver chosen since alone. The setup is a 32-bit
program (one for both kinds of Windows): where this machine cannot run 32-bit programs, the test
reports a skip with the reason (exit status 77)."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from harness import Session, WINDOW_TIMEOUT, end_wine, wait_for, wine_env, wine_reg, wine_run

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
WINE32 = os.environ.get("QUILDOR_WINE32", "")
X64_SCR = os.environ.get("QUILDOR_EXE", "")
X86_SCR = os.environ.get("QUILDOR_X86_EXE", "")
PREFIX = os.environ.get("WINEPREFIX", "")
SYSTEM32 = os.path.join(PREFIX, "drive_c", "windows", "system32")
SYSWOW64 = os.path.join(PREFIX, "drive_c", "windows", "syswow64")
INSTALLED = os.path.join(SYSTEM32, "Quildor.scr")
PROGRAM_DIR = os.path.join(PREFIX, "drive_c", "Program Files", "Quildor")
DESKTOP = r"HKCU\Control Panel\Desktop"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quildor"
SETTINGS = r"HKCU\Software\VB and VBA Program Settings"
WINDOWS_SCR = r"C:\windows\System32\Quildor.scr"


def why_not():
    """Why the setup cannot run here, or None."""
    if not WINE32 or WINE32.endswith("-NOTFOUND"):
        return "no 32-bit Wine loader is installed"
    probe = subprocess.run(["sh", "-c", 'exec "$1" --version', "probe", WINE32],
                           capture_output=True, text=True)
    if probe.returncode != 0:
        return "this machine cannot run 32-bit programs: %s" % probe.stderr.strip()
    return None


class Reg:
    display = None   # the display of the test under way


def reg(*args, check=False):
    """Wine's reg command, on the display of the test under way (a desktop that Wine starts
    without one stays without one, and no window can be made on it afterwards)."""
    env = wine_env(Reg.display) if Reg.display else dict(os.environ, WINEDEBUG="-all")
    return wine_reg(args, env, check=check)


def value(key, name):
    """(type, data) of a registry value, or None."""
    for line in reg("query", key, "/v", name).splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 2 and parts[0].lower() == name.lower():
            return parts[1], parts[2] if len(parts) == 3 else ""
    return None


class Setup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(X86_SCR):
            raise AssertionError("the 32-bit build's Quildor.scr is missing (%s): build "
                                 "windows-x86 before the setup is made" % X86_SCR)
        cls.tmp = tempfile.mkdtemp(prefix="quildor-setup-")
        made = subprocess.run([os.path.join(SOURCE, "packaging", "windows", "make-setup"), cls.tmp,
                               X64_SCR, X86_SCR, os.environ["QUILDOR_LICENSE"],
                               os.environ["QUILDOR_NOTICES"]],
                              capture_output=True, text=True, timeout=300)
        if made.returncode != 0:
            raise AssertionError("makensis failed: " + made.stderr)
        cls.setup = made.stdout.strip()
        cls.clean_prefix()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.session = Session(1024, 768)
        self.addCleanup(self.session.close)
        Reg.display = self.session.display
        self.addCleanup(self.clean_prefix)   # first, while the display is there

    @staticmethod
    def clean_prefix():
        """Whatever a failed run may have left in the test run's prefix goes."""
        end_wine()
        for path in (INSTALLED, os.path.join(SYSWOW64, "Quildor.scr")):
            if os.path.exists(path):
                os.remove(path)
        shutil.rmtree(PROGRAM_DIR, ignore_errors=True)
        for name in ("SCRNSAVE.EXE", "ScreenSaveActive"):
            reg("delete", DESKTOP, "/v", name, "/f")
        reg("delete", UNINSTALL, "/f")
        end_wine()
        Reg.display = None

    def run32(self, *args):
        return wine_run(args, wine_env(self.session.display), timeout=300, loader=WINE32)

    def install(self):
        done = self.run32(self.setup, "/S")
        self.assertEqual(done.returncode, 0, done.stdout)

    def uninstall(self):
        # The uninstaller runs a copy of itself from the temporary folder and returns at once:
        # done when it has removed itself and its entry.
        done = self.run32(os.path.join(PROGRAM_DIR, "uninstall.exe"), "/S")
        self.assertEqual(done.returncode, 0, done.stdout)
        wait_for(lambda: not os.path.exists(PROGRAM_DIR) and value(UNINSTALL, "Publisher") is None,
                 WINDOW_TIMEOUT, "the uninstaller to finish")

    def test_installs_the_matching_file_runs_it_and_uninstalls_everything(self):
        check = subprocess.run([sys.executable, os.path.join(SOURCE, "tests", "win32", "check-pe"),
                                "setup", self.setup], capture_output=True, text=True)
        self.assertEqual(check.returncode, 0, "the version block and icon: " + check.stdout)
        collection = reg("query", SETTINGS, "/s")
        self.install()
        stripped = os.path.join(self.tmp, "x64-stripped.scr")
        subprocess.run(["x86_64-w64-mingw32-strip", "-o", stripped, X64_SCR], check=True)
        with open(INSTALLED, "rb") as installed, open(stripped, "rb") as built:
            self.assertEqual(installed.read(), built.read(), "the 64-bit build, in System32")
        for name in ("LICENSE", "NOTICES"):
            with open(os.path.join(PROGRAM_DIR, name + ".txt"), "rb") as installed, \
                    open(os.environ["QUILDOR_" + name], "rb") as shipped:
                self.assertEqual(installed.read(), shipped.read(), name + " beside the uninstaller")
        self.assertFalse(os.path.exists(os.path.join(SYSWOW64, "Quildor.scr")))
        scr = value(DESKTOP, "SCRNSAVE.EXE")
        self.assertEqual((scr[0], scr[1].lower()), ("REG_SZ", WINDOWS_SCR.lower()))
        self.assertEqual(value(DESKTOP, "ScreenSaveActive"), ("REG_SZ", "1"))
        self.assertEqual(value(UNINSTALL, "Publisher"), ("REG_SZ", "Kelmarion"))
        self.assertEqual(value(UNINSTALL, "DisplayVersion"), ("REG_SZ", "1.0.0"))
        self.assertIn("uninstall.exe", value(UNINSTALL, "UninstallString")[1])
        self.assertEqual(reg("query", SETTINGS, "/s"), collection,
                         "setup never writes the collection's settings")

        program = self.session.start(["/s"], settings={"Interval": "60"}, exe=INSTALLED)
        self.session.wait_for_slide_show(program)
        self.session.display.xdotool("key", "a")
        self.assertEqual(program.wait_exit(), 0)

        self.uninstall()
        self.assertFalse(os.path.exists(INSTALLED))
        self.assertIsNone(value(DESKTOP, "SCRNSAVE.EXE"))
        self.assertIsNone(value(DESKTOP, "ScreenSaveActive"))
        self.assertNotIn("Quildor", reg("query", UNINSTALL), "the entry is gone")

    def test_uninstall_leaves_a_screen_saver_chosen_since_alone(self):
        self.install()
        other = r"C:\windows\System32\Other.scr"
        reg("add", DESKTOP, "/v", "SCRNSAVE.EXE", "/t", "REG_SZ", "/d", other, "/f", check=True)
        self.uninstall()
        self.assertFalse(os.path.exists(INSTALLED))
        self.assertEqual(value(DESKTOP, "SCRNSAVE.EXE"), ("REG_SZ", other))
        self.assertEqual(value(DESKTOP, "ScreenSaveActive"), ("REG_SZ", "1"))



if __name__ == "__main__":
    reason = why_not()
    if reason:
        print("skipped: %s" % reason)
        sys.exit(77)
    unittest.main()
