"""A throwaway device and its web server, for the scripts that drive them from
outside (the browser test, the web benchmark): a device root in a temporary
folder, booted from the staged package, and `simdevice web` serving it.

Everything started here is stopped here, by its own process id or the
device's own `shutdown` command, never by name. Python standard library only.
"""
import http.client
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

# "open http://127.0.0.1:PORT/?token=TOKEN", as `simdevice web` prints it.
ADDRESS = re.compile(r"http://127\.0\.0\.1:(\d+)/\?token=([A-Za-z0-9_-]+)")


class TempDevice:
    """A device root in a temporary folder, removed (after shutdown) by close()."""

    def __init__(self, simdevice, prefix="px-device-"):
        self.simdevice = simdevice
        self.root = tempfile.mkdtemp(prefix=prefix)
        self.booted = False

    def command(self, *args):
        """The command line of `simdevice ARGS` on this device."""
        return [self.simdevice, "--root", self.root, *args]

    def environment(self):
        return dict(os.environ, SIMDEVICE_ROOT=self.root)

    def run(self, *args, check=True, timeout=90):
        """Runs `simdevice ARGS`; its CompletedProcess (text). A failure raises
        RuntimeError with the command's own message unless check is False."""
        r = subprocess.run(self.command(*args), env=self.environment(), capture_output=True, text=True,
                           timeout=timeout)
        if check and r.returncode != 0:
            raise RuntimeError("simdevice %s exited %d: %s" % (" ".join(args), r.returncode,
                                                              (r.stderr or r.stdout).strip()))
        return r

    def start(self, stage, clock=None):
        """init, install the staged package, boot (at `clock` when given)."""
        self.run("init", "--fresh")
        self.run("install", stage)
        self.booted = True
        self.run("boot", *(["--clock", clock] if clock else []))

    def close(self):
        if self.booted:
            self.booted = False
            self.run("shutdown", check=False)
        shutil.rmtree(self.root, ignore_errors=True)


class WebServer:
    """`simdevice web --port PORT` (0: any free port) on a device: started by the constructor, which
    returns once the server has printed its address (port and token)."""

    def __init__(self, device, wait_seconds=30, port=0):
        self.proc = subprocess.Popen(device.command("web", "--port", str(port)), env=device.environment(),
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.errors = []
        threading.Thread(target=self._keep, args=(self.proc.stderr, self.errors), daemon=True).start()
        found = self._read_address(wait_seconds)
        if not found:
            self.stop()
            raise RuntimeError("simdevice web printed no address: " + "".join(self.errors).strip())
        self.port, self.token = int(found.group(1)), found.group(2)
        self.address = found.group(0)
        # Its output is drained from now on, so that it never blocks on a full pipe.
        threading.Thread(target=self._keep, args=(self.proc.stdout, None), daemon=True).start()

    def _read_address(self, wait_seconds):
        lines = []
        reader = threading.Thread(target=self._first_address, args=(lines,), daemon=True)
        reader.start()
        reader.join(wait_seconds)
        return lines[0] if lines else None

    def _first_address(self, found):
        for line in self.proc.stdout:
            m = ADDRESS.search(line)
            if m:
                found.append(m)
                return

    @staticmethod
    def _keep(stream, into):
        for line in stream:
            if into is not None:
                into.append(line)

    @property
    def pid(self):
        return self.proc.pid

    def rss_kib(self):
        """The server's resident memory (VmRSS), in KiB."""
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise RuntimeError("no VmRSS for the web server")

    def stop(self):
        """SIGTERM (the server stops cleanly on it), then SIGKILL after 10 s;
        both to this process only."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class EventStream(threading.Thread):
    """Reads /api/events; hands each state event (arrival time, document) to a
    queue when `keep` is set, otherwise only counts them."""

    def __init__(self, server, keep):
        super().__init__(daemon=True)
        self.conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=60)
        self.conn.request("GET", "/api/events", headers={"X-Simdevice-Token": server.token,
                                                         "Accept": "text/event-stream"})
        self.response = self.conn.getresponse()
        if self.response.status != 200:
            raise RuntimeError("/api/events answered %d" % self.response.status)
        self.events = queue.Queue() if keep else None
        self.count = 0
        self.start()

    def run(self):
        event, data = None, []
        try:
            for raw in self.response:
                line = raw.decode("utf-8", "replace").rstrip("\r\n")
                if line.startswith("event:"):
                    event = line[6:].strip()
                elif line.startswith("data:"):
                    data.append(line[5:].lstrip())
                elif line == "":
                    if event == "state" and data:
                        arrived = time.perf_counter()
                        self.count += 1
                        if self.events is not None:
                            self.events.put((arrived, json.loads("\n".join(data))))
                    event, data = None, []
        except Exception:  # the connection closed under the reader: the run is over
            pass

    def wait_for(self, condition, seconds):
        """The first state document (kept since the last wait) for which
        `condition` holds, or None after `seconds`."""
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                _, doc = self.events.get(timeout=left)
            except queue.Empty:
                return None
            if condition(doc):
                return doc

    def close(self):
        try:
            self.conn.sock.shutdown(2)
        except OSError:
            pass
        self.conn.close()
