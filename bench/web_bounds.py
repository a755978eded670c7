#!/usr/bin/python3
"""The web server's bounds, tried from outside as a hostile client would:
a connection sending endless header lines, a chunked body of 200 MiB, and
200 clients sending their headers one byte every 2 s while a real client
asks for the state. Prints what the server answered, its resident memory,
and how long the real requests took.

Runs `simdevice web --port 0` on a temporary device root (initialised, not
booted: no command of the page runs). Python standard library only."""
import argparse
import os
import socket
import sys
import threading
import time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(HERE, "scripts"))
from device_session import TempDevice, WebServer  # noqa: E402


def connect(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=30)
    return s


def status_line(sock):
    try:
        data = sock.recv(200)
    except OSError as e:
        return "closed (%s)" % e.__class__.__name__
    return data.split(b"\r\n", 1)[0].decode(errors="replace") if data else "closed"


def flood(server, head, piece, mib):
    """Sends `head`, then `piece` again and again until `mib` MiB are sent or the
    server stops reading: the answer, and the server's peak memory meanwhile."""
    s = connect(server.port)
    s.sendall(head)
    sent, peak = 0, server.rss_kib()
    try:
        while sent < mib << 20:
            s.sendall(piece)
            sent += len(piece)
            if sent % (4 << 20) < len(piece):
                peak = max(peak, server.rss_kib())
    except OSError:
        pass
    answer = status_line(s)
    s.close()
    return sent, answer, max(peak, server.rss_kib())


def header_flood(server, mib):
    """8 KB header lines."""
    return flood(server, b"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % server.port,
                 b"X-Filler: " + b"a" * 8180 + b"\r\n", mib)


def chunked_body(server, mib):
    """64 KiB chunks of a body with no declared length."""
    return flood(server, b"POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Simdevice-Token: %s\r\n"
                 b"Transfer-Encoding: chunked\r\n\r\n" % (server.port, server.token.encode()),
                 b"10000\r\n" + b" " * 0x10000 + b"\r\n", mib)


def timed_get(server):
    start = time.monotonic()
    s = connect(server.port)
    s.sendall(b"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Simdevice-Token: %s\r\nConnection: close\r\n\r\n"
              % (server.port, server.token.encode()))
    answer = status_line(s)
    s.close()
    return time.monotonic() - start, answer


def slow_clients(server, count, seconds):
    """`count` connections each sending one header byte every 2 s, while a
    real request is made every 0.5 s; the real requests' times."""
    stop = threading.Event()
    socks = []
    for _ in range(count):
        s = connect(server.port)
        s.sendall(b"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Slow: " % server.port)
        socks.append(s)

    def drip():
        while not stop.wait(2):
            for s in socks:
                try:
                    s.send(b"a")
                except OSError:
                    pass

    dripper = threading.Thread(target=drip, daemon=True)
    dripper.start()
    times, answers = [], []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        t, a = timed_get(server)
        times.append(t)
        answers.append(a)
        time.sleep(0.5)
    stop.set()
    dripper.join()
    for s in socks:
        s.close()
    return times, answers


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--simdevice", required=True)
    ap.add_argument("--flood-mib", type=int, default=150)
    ap.add_argument("--slow", type=int, default=200)
    ap.add_argument("--seconds", type=float, default=12)
    args = ap.parse_args()
    device = TempDevice(args.simdevice, prefix="px-web-bounds-")
    server = None
    try:
        device.run("init", "--fresh")
        server = WebServer(device)
        print("resident at start: %d KiB" % server.rss_kib())
        sent, answer, peak = header_flood(server, args.flood_mib)
        print("header flood: %.1f MiB sent before the server stopped reading; answer %r; peak %d KiB"
              % (sent / 1048576, answer, peak))
        sent, answer, peak = chunked_body(server, 200)
        print("chunked body: %.1f MiB sent; answer %r; peak %d KiB" % (sent / 1048576, answer, peak))
        times, answers = slow_clients(server, args.slow, args.seconds)
        times.sort()
        print("%d slow clients: %d real requests, answers %s, median %.1f ms, slowest %.1f ms"
              % (args.slow, len(times), sorted(set(answers)), 1000 * times[len(times) // 2], 1000 * times[-1]))
        print("resident at end: %d KiB" % server.rss_kib())
    finally:
        if server:
            server.stop()
        device.close()


if __name__ == "__main__":
    main()
