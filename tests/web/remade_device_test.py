#!/usr/bin/env python3
"""`simdevice web` over a device wiped and made again under it: the server
started while the device is down keeps serving through `init --fresh`,
records its pid in the new device (so `shutdown` still stops it), and its
event stream shows the new device's changes.

    remade_device_test.py --simdevice BIN --stage DIR
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from device_session import EventStream, TempDevice, WebServer  # noqa: E402

WAIT_SECONDS = 30


def pid_file(device):
    try:
        with open(os.path.join(device.root, "var/run/web.pid")) as f:
            return int(f.read().strip() or 0)
    except (OSError, ValueError):
        return None


def wait_until(what, condition):
    deadline = time.monotonic() + WAIT_SECONDS
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def level_handled(doc, level):
    data = ((doc.get("files") or {}).get("battery_data") or {}).get("BatteryData") or {}
    return data.get("StateOfCharge") == level


def run(simdevice, stage):
    device = TempDevice(simdevice, prefix="px-remade-")
    server = stream = None
    try:
        device.run("init")
        server = WebServer(device)
        assert pid_file(device) == server.pid, "the server did not record its pid"

        device.run("init", "--fresh")
        wait_until("the server's pid in the new device", lambda: pid_file(device) == server.pid)
        assert server.proc.poll() is None, "init --fresh stopped the server"

        device.run("install", stage)
        device.run("boot")
        stream = EventStream(server, keep=True)
        device.run("battery", "33%")
        if not stream.wait_for(lambda doc: level_handled(doc, 33), WAIT_SECONDS):
            raise AssertionError("no state event showed the new device's battery change")

        device.run("shutdown")
        wait_until("shutdown to stop the server", lambda: server.proc.poll() is not None)
        device.booted = False
    finally:
        if stream:
            stream.close()
        if server:
            server.stop()
        device.close()
    print("the server followed the device made again")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--simdevice", required=True)
    parser.add_argument("--stage", required=True)
    args = parser.parse_args()
    run(args.simdevice, args.stage)
    return 0


if __name__ == "__main__":
    sys.exit(main())
