#!/usr/bin/env python3
# Stand-in highscore server: port to DIR/port, requests to DIR/request.txt, answers from
# DIR/status and DIR/body; with DIR/drip the body comes one byte a second.
import http.server, os, sys, time

d = sys.argv[1]


def read(name, default):
    try:
        return open(os.path.join(d, name), "rb").read()
    except OSError:
        return default


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(os.path.join(d, "request.txt"), "w") as f:
            f.write(self.path + "\n" + "".join("%s: %s\n" % kv for kv in self.headers.items()))
        body = read("body", b"")
        self.send_response(int(read("status", b"200")))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        drip = os.path.exists(os.path.join(d, "drip"))
        for part in [body[i:i + 1] for i in range(min(len(body), 60))] if drip else [body]:
            try:
                self.wfile.write(part)
                self.wfile.flush()
            except OSError:
                return
            if drip:
                time.sleep(1)

    def log_message(self, *args):
        pass


srv = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(os.path.join(d, "port.tmp"), "w") as f:
    f.write(str(srv.server_address[1]))
os.rename(os.path.join(d, "port.tmp"), os.path.join(d, "port"))
srv.serve_forever()
