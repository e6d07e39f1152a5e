"""A long run: the slide show changing photographs every second for a while (QUILDOR_SOAK_SECONDS,
180 by default), watched from outside: the process's resident memory and its open files stay
flat once it has shown every photograph."""
import os
import subprocess
import tempfile
import time
import unittest

from harness import Session, folder_setting

SECONDS = int(os.environ.get("QUILDOR_SOAK_SECONDS", "180"))


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def open_files(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class Soak(unittest.TestCase):
    def test_memory_and_open_files_stay_flat(self):
        with tempfile.TemporaryDirectory() as tmp, Session(1024, 768) as s:
            folder = os.path.join(tmp, "QUILDORS")
            os.mkdir(folder)
            for i, (name, colour) in enumerate((("55A.JPG", "red"), ("56B.JPG", "green"),
                                                ("MA1.JPG", "blue"), ("SP1.JPG", "orange"),
                                                ("VM1.JPG", "purple"))):
                subprocess.run(["convert", "-size", "1600x1000", "gradient:%s-white" % colour,
                                "-attenuate", "0.5", "+noise", "Gaussian", "-quality", "90",
                                os.path.join(folder, name)], check=True)
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(folder)})
            s.wait_for_slide_show(program)
            pid = program.proc.pid
            time.sleep(min(20, SECONDS // 3))   # two passes: every photograph decoded once
            first_rss, first_files = resident_kb(pid), open_files(pid)
            samples = []
            end = time.monotonic() + SECONDS
            while time.monotonic() < end:
                self.assertTrue(program.running())
                samples.append((resident_kb(pid), open_files(pid)))
                time.sleep(5)
            last_rss, last_files = resident_kb(pid), open_files(pid)
            print("resident %d -> %d kB, open files %d -> %d over %d s"
                  % (first_rss, last_rss, first_files, last_files, SECONDS))
            self.assertLessEqual(last_files, first_files + 1, samples)
            self.assertLess(last_rss - first_rss, 8 * 1024, samples)
            ticks = program.events().count("Form1 Timer1 Timer")
            self.assertGreater(ticks, SECONDS * 0.8, "the slide show kept changing")


if __name__ == "__main__":
    unittest.main()
