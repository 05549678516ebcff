#!/usr/bin/env python3
"""Measures the open window's cost and the capture step's latency.

Runs build/keyconfig on the X display (start Xvfb first, or use
bench/run), once without a joypad and once with the test-only virtual pad
(build/tests/joystick/libkc_virtual_pad_preload.so), and prints:
  - CPU time the process uses per second of wall time while it idles,
  - the time from a virtual button press to the new label in the box.
Figures only; nothing here passes or fails.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BINARY = os.path.join(ROOT, "build", "keyconfig")
PRELOAD = os.path.join(ROOT, "build", "tests", "joystick", "libkc_virtual_pad_preload.so")
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def size_of(path):
    return os.path.getsize(path) if os.path.exists(path) else 0


def wait_for(path, text, start=0, timeout=10):
    """The time stamp of the first line `text` logged at or after byte `start`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path):
            with open(path) as f:
                f.seek(start)
                for line in f:
                    stamp, _, rest = line.rstrip("\n").partition(" ")
                    if rest == text:
                        return int(stamp)
        time.sleep(0.002)
    raise RuntimeError("%s never logged %r" % (path, text))


def idle_cpu(env, seconds):
    work = tempfile.mkdtemp(prefix="kc-bench-")
    proc = subprocess.Popen([BINARY], cwd=work, env=env, stderr=subprocess.DEVNULL)
    time.sleep(2)  # start-up and the first frames are not idling
    c0, t0 = cpu_seconds(proc.pid), time.monotonic()
    time.sleep(seconds)
    c1, t1 = cpu_seconds(proc.pid), time.monotonic()
    return proc, work, (c1 - c0) / (t1 - t0)


def main():
    if not os.environ.get("DISPLAY"):
        print("capture_bench needs a display", file=sys.stderr)
        return 1
    seconds = float(os.environ.get("KC_BENCH_SECONDS", "10"))
    proc, _, share = idle_cpu(dict(os.environ), seconds)
    proc.kill()
    print("idle, no joypad:       %.2f%% of one core (%.1f ms CPU per second)" % (share * 100, share * 1000))

    work = tempfile.mkdtemp(prefix="kc-bench-pad-")
    fifo, log, labels = (os.path.join(work, n) for n in ("pad", "pad.log", "labels.log"))
    os.mkfifo(fifo)
    env = dict(os.environ, LD_PRELOAD=PRELOAD, KC_TEST_PAD_FIFO=fifo, KC_TEST_PAD_LOG=log, KC_TEST_LABEL_LOG=labels)
    proc, _, share = idle_cpu(env, seconds)
    print("idle, one joypad:      %.2f%% of one core (%.1f ms CPU per second)" % (share * 100, share * 1000))
    latencies = []
    with open(fifo, "w", buffering=1) as pad:
        for i in range(40):
            button = i % 20 + 2  # Pad3 .. Pad22, never the label a box already shows
            log_at, labels_at = size_of(log), size_of(labels)
            pad.write("press %d\n" % button)
            pressed = wait_for(log, "press %d" % button, log_at)
            shown = wait_for(labels, "Pad%d" % (button + 1), labels_at)
            latencies.append((shown - pressed) / 1000.0)
            log_at = size_of(log)
            pad.write("release %d\n" % button)
            wait_for(log, "release %d" % button, log_at)
            time.sleep(0.05)
    proc.kill()
    latencies.sort()
    print("press to label (ms):   median %.1f, 90%% %.1f, max %.1f over %d presses"
          % (statistics.median(latencies), latencies[int(len(latencies) * 0.9)], latencies[-1], len(latencies)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
