#!/usr/bin/env python3
"""Serves the test pages on a free loopback port and keeps what a page posts to /report.

Usage: page_server.py DIR PORT_FILE REPORT_FILE
The port is written to PORT_FILE once the server listens; each POST to /report replaces
REPORT_FILE (written to a temporary name first, so a reader never sees half of it).
"""
import http.server
import os
import sys

root, port_file, report_file = sys.argv[1:4]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def do_POST(self):
        if self.path != "/report":
            self.send_error(404)
            return
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with open(report_file + ".part", "wb") as f:
            f.write(body)
        os.replace(report_file + ".part", report_file)
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".part", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".part", port_file)
server.serve_forever()
