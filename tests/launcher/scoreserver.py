#!/usr/bin/env python3
# Stand-in highscore server: port to DIR/port, requests to DIR/request.txt, answers from
# DIR/status and DIR/body; with DIR/drip the body comes one byte a second; DIR/headsize makes
# the answer's head exactly that many bytes; DIR/redirect (a host, or a path of this one) sends
# a request for any other host or path there with DIR/status, along a chain of DIR/hops paths.
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
        body, status = read("body", b""), int(read("status", b"200"))
        to = read("redirect", b"").decode()
        port = self.server.server_address[1]
        same = to.startswith("/")
        hops = self.path.count(to) if same else 0
        if to and (hops < int(read("hops", b"1")) if same else not self.headers.get("Host", "").startswith(to)):
            head = "HTTP/1.0 %d Moved\r\nLocation: %s\r\n" % (status, to * (hops + 1) if same else "http://%s:%d%s" % (to, port, self.path))
        else:
            head = "HTTP/1.0 %d Answer\r\nContent-Length: %d\r\n" % (status if not to else 200, len(body))
        size = int(read("headsize", b"0"))
        if size:
            head += "X-Fill: " + "a" * (size - len(head) - 12) + "\r\n"
        head = head.encode() + b"\r\n"
        drip = os.path.exists(os.path.join(d, "drip"))
        parts = [body[i:i + 1] for i in range(min(len(body), 60))] if drip else [body]
        try:
            self.wfile.write(head)
            for part in parts:
                self.wfile.write(part)
                self.wfile.flush()
                if drip:
                    time.sleep(1)
        except OSError:
            pass

    def log_message(self, *args):
        pass


srv = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(os.path.join(d, "port.tmp"), "w") as f:
    f.write(str(srv.server_address[1]))
os.rename(os.path.join(d, "port.tmp"), os.path.join(d, "port"))
srv.serve_forever()
