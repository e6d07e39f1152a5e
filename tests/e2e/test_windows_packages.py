"""The Windows zip and setup program as a Windows administrator unpacks them, read on Linux
without running them (7-Zip reads the setup program's files), so that they are checked on every
machine, also where 32-bit programs cannot run: both carry Quildor's licence and the notices of
the runtime linked into Quildor.scr, with Windows line ends, beside both stripped Quildor.scr."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
BUILD = os.environ.get("QUILDOR_BUILD", "")
X86_BUILD = os.environ.get("QUILDOR_X86_BUILD", "")
CPACK = os.environ.get("QUILDOR_CPACK", "cpack")
# Debian's 7zip package names its program 7zz on Debian 12 and 7z on Debian 13.
SEVEN_ZIP = shutil.which("7zz") or shutil.which("7z")


def licence():
    with open(os.path.join(SOURCE, "LICENSE"), "rb") as f:
        return f.read().replace(b"\n", b"\r\n")


class WindowsPackages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="quildor-packages-")
        # The zip's and the setup's Quildor.scr are stripped apart, and strip stamps a PE file
        # with the current second unless SOURCE_DATE_EPOCH gives one (as tools/package.sh
        # does): without it the two differ whenever a second passes between the strips.
        env = dict(os.environ, SOURCE_DATE_EPOCH=os.environ.get("SOURCE_DATE_EPOCH",
                                                                "1767225600"))
        subprocess.run([CPACK], cwd=BUILD, check=True, capture_output=True, timeout=600, env=env)
        cls.zip = sorted(glob.glob(os.path.join(BUILD, "quildor-*-windows.zip")))[-1]
        made = subprocess.run(
            [os.path.join(SOURCE, "packaging", "windows", "make-setup"), cls.tmp,
             os.path.join(BUILD, "Quildor.scr"), os.path.join(X86_BUILD, "Quildor.scr"),
             os.path.join(BUILD, "LICENSE.txt"), os.path.join(BUILD, "NOTICES.txt")],
            capture_output=True, text=True, timeout=300, env=env)
        if made.returncode != 0:
            raise AssertionError("makensis failed: " + made.stderr)
        cls.setup = made.stdout.strip()

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def zip_files(self):
        with zipfile.ZipFile(self.zip) as z:
            top = os.path.basename(self.zip)[:-len(".zip")] + "/"
            return {n[len(top):]: z.read(n) for n in z.namelist() if not n.endswith("/")}

    def setup_files(self):
        out = os.path.join(self.tmp, "unpacked")
        subprocess.run([SEVEN_ZIP, "x", "-aou", "-o" + out, self.setup], check=True,
                       capture_output=True, timeout=120)
        files = {}
        for root, _, names in os.walk(out):
            for n in names:
                path = os.path.join(root, n)
                with open(path, "rb") as f:
                    files[os.path.relpath(path, out)] = f.read()
        return files

    def check_notices(self, notices):
        text = notices.decode("utf-8")
        self.assertNotIn("\n", text.replace("\r\n", ""), "Windows line ends throughout")
        for part in ("mingw-w64", "winpthreads", "GCC RUNTIME LIBRARY EXCEPTION",
                     "libstdc++"):
            self.assertIn(part, text)

    def test_zip_and_setup_carry_licence_and_notices(self):
        z = self.zip_files()
        self.assertEqual(sorted(z), ["INSTALL.txt", "LICENSE.txt", "NOTICES.txt",
                                     "x64/Quildor.scr", "x86/Quildor.scr"])
        self.assertEqual(z["LICENSE.txt"], licence())
        self.check_notices(z["NOTICES.txt"])
        self.assertIn(b"LICENSE.txt", z["INSTALL.txt"])

        s = self.setup_files()
        self.assertEqual(s.get("LICENSE.txt"), z["LICENSE.txt"])
        self.assertEqual(s.get("NOTICES.txt"), z["NOTICES.txt"])
        # Both builds go in, stripped as in the zip (both have one destination name, which
        # 7-Zip numbers for the second).
        scr = sorted(v for k, v in s.items() if os.path.basename(k).startswith("Quildor"))
        self.assertEqual(scr, sorted([z["x64/Quildor.scr"], z["x86/Quildor.scr"]]))


if __name__ == "__main__":
    if not SEVEN_ZIP:
        print("skipped: 7-Zip, which reads the setup program, is not installed")
        sys.exit(77)
    unittest.main(verbosity=2)
