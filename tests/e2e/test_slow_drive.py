"""The slide show on a slow or stuck drive (a FUSE file system of the tests' own, slow_drive): a
key pressed while a photograph loads ends the program about as fast as on a local folder; a read
that never returns does not keep a key from ending it; photographs still follow one another. On a
network share that answers no interrupt (slow_drive's deaf mode, standing for sshfs and GNOME's
FUSE mounts of network shares, whose server has gone), the loader's thread holds the process
until the share answers, for a while or for ever: a key still gives the screen back at once, and
a new start shows its window while the old process lingers. Reported as skipped where this
machine cannot mount a FUSE file system."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from harness import (KIND, Session, WINDOW_TIMEOUT, WindowWatch, end_process, folder_setting,
                     wait_for)

SLOW_DRIVE = os.environ.get("QUILDOR_SLOW_DRIVE", "")
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "samples")
# A drive that takes 2 s before a file's first bytes and then reads 150 KB/s: a single-speed
# CD-ROM spinning up, a network drive waking its disks.
SLOW = ["2000", "150000"]
# The stalls of a share that answers no interrupt, at the stage each platform can show: Linux at
# the opening of a photograph and at the folder's listing, for ever and for a while; under Wine at
# a photograph's first read (a stalled open would stall Wine's server, which opens every file for
# every Wine program, whatever the program does).
DEAF = ([("open", "forever"), ("list", "forever"), ("open", "4000")] if KIND == "linux"
        else [("read", "forever"), ("read", "4000")])
LOADING = "Form1 Timer1 Timer"        # a tick: a step hands its photograph to the loader
LOADED = "Form1 Timer1 LoadComplete"  # the step's completion
BOX_TITLE = "The Quildor Anthology Screen Saver"


class Drive:
    """slow_drive showing the sample collection at a mount point of its own, while in use."""

    def __init__(self, mode):
        self.mount = tempfile.mkdtemp(prefix="quildor-drive-")
        os.chmod(self.mount, 0o755)
        self.proc = subprocess.Popen([SLOW_DRIVE, SAMPLES, self.mount] + mode,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wait_for(lambda: self.proc.poll() is not None or os.path.ismount(self.mount), 20,
                 "the slow drive to be mounted")
        if self.proc.poll() is not None:
            raise AssertionError("slow_drive ended: %s" % self.proc.stderr.read().decode())
        self.folder = os.path.join(self.mount, "QUILDORS")

    def close(self):
        for command in (["fusermount3", "-u", self.mount], ["umount", "-l", self.mount]):
            if shutil.which(command[0]) and \
                    subprocess.run(command, capture_output=True).returncode == 0:
                break
        end_process(self.proc)
        self.proc.stderr.close()
        os.rmdir(self.mount)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def loading_now(events):
    """Whether a step's photograph is loading after `events`: a tick came after the last
    completion (the tick that started the step, or one while it runs)."""
    last = {line: i for i, line in enumerate(events)}
    return LOADING in last and last[LOADING] > last.get(LOADED, -1)


def fuse_missing():
    """Why this machine cannot mount a FUSE file system of the tests', or None."""
    if not SLOW_DRIVE:
        return "slow_drive was not built (libfuse3's development files are missing)"
    if not os.path.exists("/dev/fuse"):
        return "no /dev/fuse"
    return None


@unittest.skipIf(fuse_missing(), fuse_missing())
class SlowDrive(unittest.TestCase):
    @staticmethod
    def show_loading(s, folder, loading):
        """Starts the show on `folder` and waits until a photograph loads (`loading`) or one is
        shown; returns the program and its window."""
        program = s.start(["/s"], settings={"Interval": "1", "QuildorsDir": folder_setting(folder)})
        window = s.wait_for_slide_show(program)
        if loading:
            wait_for(lambda: loading_now(program.events()), WINDOW_TIMEOUT, "a photograph loading")
        else:
            program.wait_for_events(LOADED, 1)
        return program, window

    def key_to_end_ms(self, folder, loading):
        """Starts the show on `folder`, presses a key once a photograph loads (`loading`) or is
        shown, and returns the milliseconds from the key to the end of the process."""
        with Session(1024, 768) as s:
            program, _ = self.show_loading(s, folder, loading)
            start = time.monotonic()
            s.display.xdotool("key", "space")
            self.assertEqual(program.wait_exit(), 0)
            elapsed = (time.monotonic() - start) * 1000
            events = program.events()
            self.assertIn("Form1 - KeyDown", events)
            if loading:
                self.assertTrue(loading_now(events[:events.index("Form1 - KeyDown")]),
                                "the key came while the photograph loaded")
            return elapsed

    def test_a_key_while_a_photograph_loads_ends_the_show_as_on_a_local_folder(self):
        local = self.key_to_end_ms(os.path.join(SAMPLES, "QUILDORS"), loading=False)
        with Drive(SLOW) as drive:
            slow = self.key_to_end_ms(drive.folder, loading=True)
        print("\n%s: key to end %.0f ms on a local folder, %.0f ms while loading from a slow "
              "drive" % (KIND, local, slow))
        # The load takes over 2 s: ending before it completes is answering at once. The exact
        # figure against the local one is the benchmark's. Under Wine the windows are destroyed
        # one by one while a photograph loads, and Wine on an X server without a window manager
        # waits 2 s for a window manager's answer to each full-screen one.
        self.assertLess(slow, local + (1000 if KIND == "linux" else 3000))

    def test_a_read_that_never_returns_does_not_keep_a_key_from_ending_the_show(self):
        with Drive(["stuck"]) as drive, Session(1024, 768) as s:
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(drive.folder)})
            s.wait_for_slide_show(program)
            program.wait_for_events(LOADING, 2)   # the first read is stuck; ticks go on
            s.display.xdotool("key", "space")
            self.assertEqual(program.wait_exit(), 0, "the process ends")
            wait_for(lambda: not s.display.full_screen_windows(), WINDOW_TIMEOUT,
                     "the window to be gone")
            self.assertNotIn(LOADED, program.events())

    def key_while_loading(self, s, folder, loading=True):
        """Starts the show on `folder`, presses a key while a photograph loads (`loading`) or
        once one is shown; returns the program, the monotonic time of the key and that of the
        window leaving the screen."""
        watch = WindowWatch(s.display)   # listening long before the key
        try:
            program, window = self.show_loading(s, folder, loading)
            key = time.monotonic()
            s.display.key("space")
            return program, key, watch.wait_gone(window, WINDOW_TIMEOUT)
        finally:
            watch.close()

    def test_a_key_gives_the_screen_back_while_a_share_that_answers_no_interrupt_holds_on(self):
        with Session(1024, 768) as s:
            program, key, gone = self.key_while_loading(s, os.path.join(SAMPLES, "QUILDORS"),
                                                        loading=False)
            self.assertEqual(program.wait_exit(), 0)
            local = (gone - key) * 1000
        print("\n%s: key to window gone %.0f ms on a local folder" % (KIND, local))
        for stage, stall in DEAF:
            with self.subTest(stage=stage, stall=stall), Session(1024, 768) as s, \
                    Drive(["deaf", stage, stall]) as drive:   # the drive ends first
                program, key, gone = self.key_while_loading(s, drive.folder)
                # A new start at once shows its window, the old process still there.
                again = s.start(["/s"], settings={"Interval": "1",
                                                  "QuildorsDir": folder_setting(drive.folder)})
                s.wait_for_slide_show(again)
                lingered = program.running()
                ended = "still there"
                if stall != "forever":
                    self.assertEqual(program.wait_exit(), 0)
                    ended = "%.0f ms" % ((time.monotonic() - key) * 1000)
                print("%s, %s stalled %s: key to window gone %.0f ms, to process end %s"
                      % (KIND, stage, stall, (gone - key) * 1000, ended))
                self.assertEqual(program.events()[-1:], ["ShowCursor 1"], "it ended on the key")
                if stall == "forever":
                    self.assertTrue(lingered, "the share holds the process (else it tests nothing)")
                if KIND == "linux":
                    self.assertLess((gone - key) * 1000, local + 50)
                else:
                    # Wine on a server without a window manager waits 2 s for a window manager's
                    # answer to each full-screen window destroyed; the screen still comes back
                    # before the share answers.
                    self.assertLess((gone - key) * 1000, local + 3000)

    def test_photographs_follow_one_another_from_a_slow_drive(self):
        with Drive(SLOW) as drive, Session(1024, 768) as s:
            program = s.start(["/s"], settings={"Interval": "1",
                                                "QuildorsDir": folder_setting(drive.folder)})
            s.wait_for_slide_show(program)
            wait_for(lambda: program.events().count(LOADED) >= 2, 4 * WINDOW_TIMEOUT,
                     "two photographs loaded")
            self.assertEqual(s.message_boxes(BOX_TITLE), [], "no box asking for the disc")
            self.assertTrue(program.running())
            s.display.xdotool("key", "space")
            self.assertEqual(program.wait_exit(), 0)
