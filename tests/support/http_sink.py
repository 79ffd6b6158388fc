# An HTTP server on a free loopback port for the server-side HTTP tests. Prints "port N" once it
# listens. /echo answers with what it received; /text?charset=CS sends "中文ā" or "café" in that
# charset; /bytes sends the 256 byte values; /status answers 404 with its own reason phrase;
# /redirect?code=C&to=URL redirects; /slow waits before answering; /auth needs a basic logon.
import base64
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, code, body, headers=(), reason=None):
        self.send_response(code, reason)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query))
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        if url.path == "/echo":
            lines = ["method=" + self.command, "content-type=" + str(self.headers["Content-Type"]),
                     "x-test=" + str(self.headers["X-Test"]), "body=" + body.hex()]
            self.reply(200, ("\n".join(lines) + "\n").encode(),
                       [("Content-Type", "text/plain; charset=utf-8"), ("X-Echo", "yes")])
        elif url.path == "/text":
            charset = query["charset"]
            text = "café" if charset == "iso-8859-1" else "中文ā"
            kind = "text/plain" if charset == "none" else 'text/plain; charset="%s"' % charset
            data = text.encode("utf-8" if charset == "none" else charset)
            if query.get("bom"):
                data = b"\xef\xbb\xbf" + data
            self.reply(200, data, [("Content-Type", kind)])
        elif url.path == "/bytes":
            self.reply(200, bytes(range(256)), [("Content-Type", "application/octet-stream")])
        elif url.path == "/status":
            self.reply(404, b"gone", [("Content-Type", "text/plain")], "Nothing Here")
        elif url.path == "/redirect":
            self.reply(int(query["code"]), b"", [("Location", query["to"])])
        elif url.path == "/slow":
            time.sleep(float(query.get("seconds", "5")))
            self.reply(200, b"late")
        elif url.path == "/auth":
            given = self.headers.get("Authorization", "")
            if given.startswith("Basic "):
                self.reply(200, base64.b64decode(given[6:]))
            else:
                self.reply(401, b"", [("WWW-Authenticate", 'Basic realm="sink"')])
        else:
            self.reply(400, b"unknown path")

    do_GET = do_POST = do_PUT = do_DELETE = do_HEAD = handle_any


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print("port %d" % server.server_address[1], flush=True)
server.serve_forever()
