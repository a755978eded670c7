#!/usr/bin/python3
"""The web view's benchmark: what `simdevice web` sends and spends while the
device is idle, how soon a battery change handled by SpringBoard reaches a
subscriber of /api/events, and whether the server holds its memory over many
changes with several subscribers.

Runs on a temporary device root (init, install the staged package, boot) and
always shuts that device down by its own command, whatever happens.
Python standard library only."""
import argparse
import math
import os
import queue
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(HERE, "scripts"))
from device_session import EventStream, TempDevice, WebServer  # noqa: E402
FLOOR_P99_US = 22.3  # the "Darwin notification p99" row of docs/benchmarks.md
TARGET_P99_MS = 100.0
# Resident memory may move by this much between the first and the last
# reading and still count as flat: pages the allocator keeps or returns.
GROWTH_ALLOWANCE_KIB = 256
# The idle measurement: after the boot settles, events counted over 5 s and
# the server's CPU time over 15 s.
IDLE_SETTLE_SECONDS = 3
IDLE_COUNT_SECONDS = 5
IDLE_CPU_SECONDS = 15


def soc_handled(doc):
    """The state of charge SpringBoard's add-on last wrote (its battery data
    file, as the state document shows it), or None."""
    data = (doc.get("files") or {}).get("battery_data") or {}
    inner = data.get("BatteryData") or {}
    return inner.get("StateOfCharge")


def cpu_seconds(pid):
    """User plus system CPU time of process `pid` so far."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure_idle(server, settle, count_seconds, cpu_window):
    """With nothing changing: state events a subscriber receives per second,
    and the server's CPU seconds over `cpu_window` seconds."""
    time.sleep(settle)
    sub = EventStream(server, keep=False)
    try:
        time.sleep(count_seconds)
        events = max(0, sub.count - 1)  # the first is the state as it stands
    finally:
        sub.close()
    before = cpu_seconds(server.pid)
    time.sleep(cpu_window)
    return events / count_seconds, cpu_seconds(server.pid) - before


def change_battery(device, level):
    return subprocess.Popen(device.command("battery", "%d%%" % level), env=device.environment(),
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)


def finish(proc, level):
    _, err = proc.communicate(timeout=60)
    if proc.returncode != 0:
        raise RuntimeError("simdevice battery %d%%: %s" % (level, err.strip()))


def levels(count):
    """40..60 % and back, so two changes in a row never ask for the same level."""
    cycle = list(range(40, 61)) + list(range(59, 40, -1))
    return [cycle[i % len(cycle)] for i in range(count)]


def percentile(sorted_values, p):
    index = min(len(sorted_values) - 1, max(0, math.ceil(p / 100.0 * len(sorted_values)) - 1))
    return sorted_values[index]


def measure_latency(device, server, count):
    sub = EventStream(server, keep=True)
    latencies = []
    try:
        for level in levels(count):
            while not sub.events.empty():
                sub.events.get_nowait()
            start = time.perf_counter()
            proc = change_battery(device, level)
            deadline = time.monotonic() + 30
            while True:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise RuntimeError("no state event showed %d%% handled within 30 s" % level)
                arrived, doc = sub.events.get(timeout=left)
                if soc_handled(doc) == level:
                    latencies.append(arrived - start)
                    break
            finish(proc, level)
    finally:
        sub.close()
    return sorted(latencies)


def memory_checkpoints(count):
    """Where the server's memory is read: after 1 000, 2 000 and 5 000 changes
    (those below `count`) and after the last."""
    return sorted({n for n in (1000, 2000, 5000) if n < count} | {count})


def measure_memory(device, server, count, subscribers):
    subs = [EventStream(server, keep=False) for _ in range(subscribers)]
    checkpoints = set(memory_checkpoints(count))
    rss = {}
    try:
        for i, level in enumerate(levels(count), start=1):
            finish(change_battery(device, level), level)
            if i in checkpoints:
                time.sleep(1.0)  # let every subscriber take the last event
                rss[i] = server.rss_kib()
        delivered = min(s.count for s in subs)
    finally:
        for s in subs:
            s.close()
    return rss, delivered


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--simdevice", default=os.path.join(HERE, "build/bin/simdevice"))
    ap.add_argument("--stage", default=os.path.join(HERE, "build/stage"))
    ap.add_argument("--changes", type=int, default=1000, help="battery changes timed (default 1000)")
    ap.add_argument("--memory-changes", type=int, default=10000,
                    help="battery changes for the memory check (default 10000; 0 skips it)")
    ap.add_argument("--subscribers", type=int, default=5, help="subscribers open in the memory check")
    args = ap.parse_args()
    if args.changes < 1 or args.memory_changes < 0 or args.subscribers < 1:
        ap.error("counts must be positive")

    device = TempDevice(args.simdevice, prefix="px-webbench-")
    server = None

    def on_signal(signum, _frame):
        raise KeyboardInterrupt("signal %d" % signum)

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    try:
        device.start(args.stage)
        server = WebServer(device)
        rate, cpu = measure_idle(server, IDLE_SETTLE_SECONDS, IDLE_COUNT_SECONDS, IDLE_CPU_SECONDS)
        print("Web view: an idle device (booted, package installed, nothing changing)")
        print("  state events   %8.1f per second (over %d s)" % (rate, IDLE_COUNT_SECONDS))
        print("  server CPU     %8.2f s over %d s" % (cpu, IDLE_CPU_SECONDS))
        began = time.monotonic()
        lat = measure_latency(device, server, args.changes)
        p50, p99 = percentile(lat, 50) * 1e3, percentile(lat, 99) * 1e3
        print("Web view: battery change -> state event at a subscriber, %d changes (%.0f s)"
              % (len(lat), time.monotonic() - began))
        print("  p50 %8.1f ms" % p50)
        print("  p99 %8.1f ms   target <= %.0f ms  %s   floor (Darwin notification p99) %.1f us"
              % (p99, TARGET_P99_MS, "ok" if p99 <= TARGET_P99_MS else "MISSED", FLOOR_P99_US))
        if args.memory_changes:
            began = time.monotonic()
            rss, delivered = measure_memory(device, server, args.memory_changes, args.subscribers)
            print("Web view: VmRSS of simdevice web, %d subscribers, %d changes (%.0f s, >= %d events each)"
                  % (args.subscribers, args.memory_changes, time.monotonic() - began, delivered))
            marks = sorted(rss)
            first = rss[marks[0]]
            for n in marks:
                print("  after %5d changes %8d KiB   %+6d KiB since the %dth" % (n, rss[n], rss[n] - first, marks[0]))
            if len(marks) > 1:
                growth = rss[marks[-1]] - first
                per_change = growth * 1024.0 / (marks[-1] - marks[0])
                # A page or two either way is the allocator, not growth.
                flat = growth <= GROWTH_ALLOWANCE_KIB
                print("  growth %+.1f bytes per change   target no growth: %s" % (per_change, "ok" if flat else "MISSED"))
        return 0
    except (RuntimeError, OSError, queue.Empty, subprocess.TimeoutExpired, KeyboardInterrupt) as e:
        print("web benchmark: %s" % (e or type(e).__name__), file=sys.stderr)
        return 1
    finally:
        if server:
            server.stop()
        device.close()


if __name__ == "__main__":
    sys.exit(main())
