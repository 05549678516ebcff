#!/usr/bin/env python3
"""End-to-end tests of the real keyconfig program in a real window.

The same tests drive the Linux binary (its GTK window) and, with --wine, the
Windows program under Wine. Each test starts the program in a temp directory with a prepared
keyconfig.ini, finds its window on the X display (Xvfb in tests), and uses
it as a player would: mouse clicks with xdotool, keys, the close request a
window manager sends. Control positions come from the dialog's layout in
dialog units, scaled to the window's size. Without a display it starts its
own Xvfb.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
CAPTION = "キーコンフィグ"
DIALOG_UNITS = (120, 108)
# Template rectangles (x, y, cx, cy) of the controls.
CONTROLS = {
    "save": (7, 87, 45, 14),
    "cancel": (67, 87, 46, 14),
    "slot1": (77, 7, 35, 12),
    "slot2": (77, 27, 35, 12),
    "slot3": (77, 47, 35, 12),
    "slot4": (77, 67, 35, 12),
}
LABELS = {  # each row's label, whose text must end before its box begins
    "決定": ((12, 9, 16, 8), "slot1"),
    "キャンセル、メニュー": ((12, 29, 56, 8), "slot2"),
    "マップ、その他": ((12, 49, 40, 8), "slot3"),
    "スキップ": ((12, 69, 23, 8), "slot4"),
}
STORED = (b"; the game's own settings\r\n[Video]\r\nWidth=640\r\n"
          b"[KeyConfig]\r\nKey1=5\r\nKey2=9\r\nKey3=2\r\nKey4=11\r\n")


def xdotool(*args, check=True):
    return subprocess.run(["xdotool", *args], check=check, capture_output=True, text=True, timeout=20).stdout


def wait_for_line(path, text, timeout=10):
    """Waits until a log file written by the test pad has a line ending in `text`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open(path) as f:
                if any(line.rstrip("\n").endswith(" " + text) for line in f):
                    return
        except FileNotFoundError:
            pass
        time.sleep(0.05)
    raise AssertionError("%s never logged %r" % (os.path.basename(path), text))


class Program:
    """One run of keyconfig in its own directory."""

    def __init__(self, ini=STORED, env=None):
        self.dir = tempfile.mkdtemp(prefix="keyconfig-gui-")
        self.ini = os.path.join(self.dir, "keyconfig.ini")
        if ini is not None:
            with open(self.ini, "wb") as f:
                f.write(ini)
        full_env = dict(os.environ)
        full_env.update(env or {})
        command = ["wine", ARGS.binary] if ARGS.wine else [ARGS.binary]
        self.proc = subprocess.Popen(command, cwd=self.dir, env=full_env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.window = None

    def wait_for_window(self, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise AssertionError("keyconfig ended before its window appeared: %r"
                                     % self.proc.stderr.read().decode())
            ids = self.windows()
            if ids:
                self.window = ids[0]
                time.sleep(0.3)  # let the first frame be drawn
                return self.window
            time.sleep(0.1)
        raise AssertionError("no window captioned %s appeared" % CAPTION)

    def windows(self):
        """The program's visible windows captioned キーコンフィグ: its dialog and any message box."""
        # Under Wine the X windows belong to wine's own processes, so they
        # are found by caption alone; the tests run one program at a time.
        by_pid = [] if ARGS.wine else ["--pid", str(self.proc.pid)]
        return xdotool("search", "--onlyvisible", *by_pid, "--name", CAPTION, check=False).split()

    def others(self):
        """The program's windows other than its dialog (a message box)."""
        return [w for w in self.windows() if w != self.window]

    def geometry(self, window=None):
        out = xdotool("getwindowgeometry", "--shell", window or self.window)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def rect(self, units):
        """A rectangle in dialog units as pixels of the window: left, top, right, bottom."""
        x, y, cx, cy = units
        width, height = self.geometry()
        sx, sy = width / DIALOG_UNITS[0], height / DIALOG_UNITS[1]
        return round(x * sx), round(y * sy), round((x + cx) * sx), round((y + cy) * sy)

    def point(self, control):
        left, top, right, bottom = self.rect(CONTROLS[control])
        return (left + right) // 2, (top + bottom) // 2

    def click(self, control):
        px, py = self.point(control)
        xdotool("mousemove", "--window", self.window, str(px), str(py))
        xdotool("click", "1")
        time.sleep(0.2)

    def keys(self, *names):
        # Real key events (XTEST): with no window manager the keyboard focus
        # follows the pointer, so the pointer goes over the window first.
        width, height = self.geometry()
        xdotool("mousemove", "--window", self.window, str(width // 2), str(height // 2))
        for name in names:
            xdotool("key", name)
            time.sleep(0.1)

    def rest_pointer(self):
        """Puts the pointer in the window's top-left corner, over no control:
        the window has the keyboard (so it draws its focus) and nothing is
        drawn hovered."""
        xdotool("mousemove", "--window", self.window, "2", "2")
        time.sleep(0.2)

    def screenshot(self, path, whole_screen=False):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        # -strip: no time stamps, so the same picture is the same file.
        subprocess.run(["import", "-window", "root" if whole_screen else self.window, "-strip", path],
                       check=True, timeout=20)

    def pixels(self):
        """The window's picture: (width, height, pixel(x, y) -> (r, g, b))."""
        data = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"],
                              check=True, capture_output=True, timeout=20).stdout
        magic, width, height, maxval, body = data.split(maxsplit=4)
        assert magic == b"P6" and maxval == b"255", "import gave no 8-bit PPM"
        width, height = int(width), int(height)

        def pixel(x, y):
            i = (y * width + x) * 3
            return tuple(body[i:i + 3])
        return width, height, pixel

    def wait_exit(self, timeout=10):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.proc.poll() is None

    def read_ini(self):
        with open(self.ini, "rb") as f:
            return f.read()

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
            # Give the X server a moment to drop the killed client's resources.
            time.sleep(0.3)
        self.proc.stdout.close()
        self.proc.stderr.close()
        shutil.rmtree(self.dir, ignore_errors=True)


class KeyconfigWindow(unittest.TestCase):
    def start(self, **kw):
        program = Program(**kw)
        self.addCleanup(program.close)
        program.wait_for_window()
        return program

    def test_window_shows_and_save_writes_the_file(self):
        p = self.start()
        p.rest_pointer()
        shot = os.path.join(ARGS.artifacts, "keyconfig.png")
        p.screenshot(shot)
        p.click("save")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.read_ini(), STORED, "same bindings saved in place, everything else kept")

    def test_without_a_file_save_creates_it(self):
        p = self.start(ini=None)
        p.click("save")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.read_ini(), b"[KeyConfig]\r\nKey1=0\r\nKey2=1\r\nKey3=3\r\nKey4=4\r\n")

    def test_ways_out_without_saving_leave_the_file_alone(self):
        ways = {
            "cancel button": lambda p: p.click("cancel"),
            "close request": lambda p: subprocess.run([ARGS.send_close, p.window], check=True, timeout=10),
            "Alt+F4": lambda p: p.keys("alt+F4"),
        }
        for name, close in ways.items():
            with self.subTest(way=name):
                p = self.start()
                close(p)
                self.assertEqual(p.wait_exit(), 0)
                self.assertEqual(p.read_ini(), STORED)
                p.close()

    def test_a_press_dragged_off_save_saves_nothing(self):
        p = self.start()
        px, py = p.point("save")
        xdotool("mousemove", "--window", p.window, str(px), str(py))
        xdotool("mousedown", "1")
        time.sleep(0.2)
        xdotool("mousemove", "--window", p.window, "2", "2")  # off the button, still over the window
        time.sleep(0.2)
        xdotool("mouseup", "1")
        time.sleep(0.3)
        self.assertTrue(p.running(), "a press taken back off the button still saved and closed")
        self.assertEqual(p.read_ini(), STORED)
        p.click("cancel")
        self.assertEqual(p.wait_exit(), 0)

    def test_keys_neither_move_the_focus_nor_press_a_button(self):
        p = self.start()
        # Space presses the focused button: had a key moved the focus onto
        # one, Space would now press it.
        p.keys("Tab", "shift+Tab", "Return", "Escape", "Down", "Right", "a", "7", "Tab", "space")
        time.sleep(0.3)
        self.assertTrue(p.running(), "a key closed the window")
        self.assertEqual(p.read_ini(), STORED)
        p.click("cancel")
        self.assertEqual(p.wait_exit(), 0)

    def assert_save_fails_and_the_window_stays(self, p, artifact):
        p.click("save")
        deadline = time.monotonic() + 10
        while len(p.windows()) < 2 and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertGreaterEqual(len(p.windows()), 2, "no message box beside the window")
        self.assertTrue(p.running(), "the window closed although nothing was saved")
        p.screenshot(os.path.join(ARGS.artifacts, artifact), whole_screen=True)  # the box is a window of its own
        # The box's OK (its default button) takes Enter. Then the window is
        # the player's again: "保存せず終了" still leaves.
        box = p.others()[0]
        width, height = p.geometry(box)
        xdotool("mousemove", "--window", box, str(width // 2), str(height // 2))
        xdotool("key", "Return")
        deadline = time.monotonic() + 10
        while p.others() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(p.others(), [], "Enter did not close the message box")
        self.assertTrue(p.running())
        p.click("cancel")
        self.assertEqual(p.wait_exit(), 0)

    def test_read_only_file_is_reported_and_the_window_stays(self):
        if ARGS.wine and os.geteuid() == 0:
            self.skipTest("Wine lets root write a file without write bits, as root may")
        p = self.start()
        os.chmod(p.ini, 0o444)
        self.assert_save_fails_and_the_window_stays(p, "save-failed.png")
        self.assertEqual(p.read_ini(), STORED)

    def test_a_folder_in_place_of_the_file_is_reported_and_the_window_stays(self):
        p = self.start(ini=None)
        os.mkdir(p.ini)
        self.assert_save_fails_and_the_window_stays(p, "save-failed-folder.png")
        self.assertTrue(os.path.isdir(p.ini))
        self.assertEqual(os.listdir(p.ini), [])

    def test_without_a_joypad_nothing_is_bound(self):
        p = self.start()
        p.click("slot2")
        time.sleep(1.0)  # some sixty capture ticks
        p.click("save")
        self.assertEqual(p.wait_exit(), 0)
        self.assertEqual(p.read_ini(), STORED)

    def test_a_pad_press_binds_the_clicked_slot_and_the_focus_moves_on(self):
        if ARGS.wine:
            self.skipTest("the virtual pad plugs into SDL; the Windows program reads winmm")
        work = tempfile.mkdtemp(prefix="keyconfig-pad-")
        self.addCleanup(shutil.rmtree, work, True)
        fifo, log, labels = (os.path.join(work, n) for n in ("pad", "pad.log", "labels.log"))
        os.mkfifo(fifo)
        p = self.start(env={"LD_PRELOAD": ARGS.preload, "KC_TEST_PAD_FIFO": fifo,
                            "KC_TEST_PAD_LOG": log, "KC_TEST_LABEL_LOG": labels})
        wait_for_line(log, "ready")
        with open(fifo, "w", buffering=1) as pad:
            p.click("slot3")                      # the player picks マップ、その他
            for button in (5, 6):                 # Pad6, then Pad7
                pad.write("press %d\n" % button)
                wait_for_line(log, "press %d" % button)
                time.sleep(0.2)                   # a dozen timer ticks
                pad.write("release %d\n" % button)
                wait_for_line(log, "release %d" % button)
                time.sleep(0.1)
        wait_for_line(labels, "Pad6")
        wait_for_line(labels, "Pad7")
        p.screenshot(os.path.join(ARGS.artifacts, "keyconfig-bound.png"))
        p.click("save")
        self.assertEqual(p.wait_exit(), 0)
        # Slot 3 took button index 5; the focus had moved to slot 4, which took 6.
        self.assertEqual(p.read_ini(), STORED.replace(b"Key3=2", b"Key3=5").replace(b"Key4=11", b"Key4=6"))

    def test_the_layout_is_the_template_scaled_and_every_label_shows_whole(self):
        if ARGS.wine:
            self.skipTest("the Windows dialog manager lays out the template itself")
        p = self.start()
        p.rest_pointer()
        width, height, pixel = p.pixels()
        background = pixel(1, height - 2)

        def strong(x, y):
            """Whether (x, y) is drawn clearly, as a border or text is, not a faint shadow."""
            return max(abs(a - b) for a, b in zip(pixel(x, y), background)) > 24

        def border(points):
            """The first of `points` on a border, or None."""
            return next((i for i, (x, y) in points if strong(x, y)), None)

        # Each widget's border lies on its template rectangle, give or take
        # the rounding of the units: the first strong pixel met going inwards
        # from a little outside each edge.
        slack = 6
        for name, units in CONTROLS.items():
            with self.subTest(control=name):
                left, top, right, bottom = p.rect(units)
                cx, cy = (left + right) // 2, (top + bottom) // 2
                edges = {
                    "left": (left, border((x, (x, cy)) for x in range(left - slack, cx))),
                    "right": (right, border((x + 1, (x, cy)) for x in range(right + slack, cx, -1))),
                }
                if name.startswith("slot"):  # a button's middle column meets its text
                    edges["top"] = (top, border((y, (cx, y)) for y in range(top - slack, cy)))
                    edges["bottom"] = (bottom, border((y + 1, (cx, y)) for y in range(bottom + slack, cy, -1)))
                for edge, (expected, found) in edges.items():
                    self.assertIsNotNone(found, "no %s border" % edge)
                    self.assertLessEqual(abs(found - expected), 2, "%s border at %d, not %d" % (edge, found, expected))
        # A text too wide for its label would run on towards its box: between
        # the label's right edge and the box nothing is drawn.
        for text, (units, box) in LABELS.items():
            with self.subTest(label=text):
                left, top, right, bottom = p.rect(units)
                box_left = p.rect(CONTROLS[box])[0]
                inked = [x for x in range(left, box_left - 3) for y in range(top, bottom) if strong(x, y)]
                self.assertTrue(inked, "the label is not drawn")
                self.assertLessEqual(max(inked), right, "the text runs past its label's rectangle")
        p.click("cancel")
        self.assertEqual(p.wait_exit(), 0)

    def test_without_a_display_it_says_why_and_exits_1(self):
        if ARGS.wine:
            self.skipTest("without a display Wine itself cannot start")
        env = dict(os.environ)
        env["DISPLAY"] = ":9999"
        proc = subprocess.run([ARGS.binary], cwd=tempfile.gettempdir(), env=env, capture_output=True, timeout=20)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"keyconfig: cannot open the window: cannot open display :9999", proc.stderr)


def start_xvfb():
    """Starts Xvfb on a free display and points DISPLAY at it; None when it cannot."""
    for n in range(99, 160):
        if not os.path.exists("/tmp/.X11-unix/X%d" % n) and not os.path.exists("/tmp/.X%d-lock" % n):
            break
    else:
        print("keyconfig GUI tests: no free X display number", file=sys.stderr)
        return None
    try:
        server = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    except FileNotFoundError:
        print("keyconfig GUI tests need a display or Xvfb (Debian package xvfb)", file=sys.stderr)
        return None
    deadline = time.monotonic() + 10
    while not os.path.exists("/tmp/.X11-unix/X%d" % n):
        if server.poll() is not None or time.monotonic() > deadline:
            server.kill()
            print("keyconfig GUI tests: Xvfb did not start on :%d" % n, file=sys.stderr)
            return None
        time.sleep(0.05)
    os.environ["DISPLAY"] = ":%d" % n
    return server


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--send-close", required=True, help="the close-request helper (tests/gui/send_close.c)")
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--preload", help="the test-only virtual joypad library (Linux)")
    parser.add_argument("--wine", action="store_true", help="--binary is the Windows program, run under Wine")
    ARGS, rest = parser.parse_known_args()
    xvfb = None
    if not os.environ.get("DISPLAY"):
        xvfb = start_xvfb()
        if xvfb is None:
            return 1
    try:
        result = unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result
    finally:
        if xvfb is not None:
            xvfb.terminate()
            xvfb.wait()
    failed = len(result.failures) + len(result.errors)  # subtests count one each
    skipped = len(result.skipped)
    print("%d passed, %d failed, %d skipped" % (max(result.testsRun - failed - skipped, 0), failed, skipped))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
