#!/usr/bin/env python3
"""A local stand-in of the statistics service for the demo, on loopback.

Answers the connectivity probe ("/"), the upload ("/pylonex/send.php?...") and
the statistics site ("/stats"), and appends every request line to LOG.
Prints the port it listens on, then serves until killed.
Usage: stats_server.py LOG
"""
import http.server
import sys

log_path = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log_path, "a") as log:
            log.write(self.path + "\n")
        body = b"OK\n" if self.path.startswith("/pylonex/send.php") else b"<html>PylonexPro2 statistics</html>\n"
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=us-ascii")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
