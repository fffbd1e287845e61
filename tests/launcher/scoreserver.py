#!/usr/bin/env python3
# A stand-in highscore server for the launcher tests, on 127.0.0.1 only.
# Usage: scoreserver.py DIR -- writes the chosen port to DIR/port, logs each
# request line and its headers to DIR/request.txt, and answers with the
# status in DIR/status (default 200) and the body in DIR/body.  With a file
# DIR/drip the body is sent one byte a second (at most 60 bytes), as a
# server that never quite finishes would.
import http.server
import os
import sys
import time

d = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(os.path.join(d, "request.txt"), "w") as f:
            f.write(self.path + "\n")
            for k, v in self.headers.items():
                f.write("%s: %s\n" % (k, v))
        status = 200
        try:
            status = int(open(os.path.join(d, "status")).read().strip())
        except OSError:
            pass
        try:
            body = open(os.path.join(d, "body"), "rb").read()
        except OSError:
            body = b""
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if not os.path.exists(os.path.join(d, "drip")):
            self.wfile.write(body)
            return
        for b in body[:60]:
            try:
                self.wfile.write(bytes([b]))
                self.wfile.flush()
            except OSError:
                return
            time.sleep(1)

    def log_message(self, *args):
        pass


srv = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(os.path.join(d, "port.tmp"), "w") as f:
    f.write(str(srv.server_address[1]))
os.rename(os.path.join(d, "port.tmp"), os.path.join(d, "port"))
srv.serve_forever()
