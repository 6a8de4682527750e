#!/usr/bin/env python3
"""A stand-in for the release pages kelvo fetches yt-dlp and deno from, on 127.0.0.1.

The first path segment picks the behaviour, so each test chooses it through its base address
(http://127.0.0.1:<port>/<mode>): good; badsum (published digests that do not match); cut (the
file announces more bytes than it sends, then the connection closes); stall (a few bytes, then
silence); offsite (the release redirects to plain HTTP on another host); missing (404).
Prints its port, then serves until it is killed.
"""
import hashlib
import io
import time
import zipfile
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

YTDLP = b"#!/bin/sh\necho 2025.11.12\n"
DENO = b"#!/bin/sh\necho 'deno 2.5.6 (stable, release, x86_64-unknown-linux-gnu)'\necho 'v8 14'\n"
archive = io.BytesIO()
with zipfile.ZipFile(archive, "w") as z:
    z.writestr("LICENSE.md", "not the tool\n")
    z.writestr("deno", DENO)
DENO_ZIP = archive.getvalue()
TAGS = {"yt-dlp/yt-dlp": "2025.11.12", "denoland/deno": "v2.5.6"}


def files(mode):
    def digest(data):
        return hashlib.sha256(data + (b"x" if mode == "badsum" else b"")).hexdigest()
    return {
        "yt-dlp_linux": YTDLP,
        # Several assets, as the real list has: only the line naming yt-dlp_linux counts.
        "SHA2-256SUMS": f"{digest(b'other')}  yt-dlp\n{digest(YTDLP)}  yt-dlp_linux\n".encode(),
        "deno-x86_64-unknown-linux-gnu.zip": DENO_ZIP,
        "deno-x86_64-unknown-linux-gnu.zip.sha256sum":
            f"Algorithm : SHA256\r\nHash      : {digest(DENO_ZIP).upper()}\r\n".encode(),
    }


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_HEAD(self):
        self.answer(False)

    def do_GET(self):
        self.answer(True)

    def answer(self, with_body):
        # /<mode>/<owner>/<repo>/releases/(latest/download|download/<tag>)/<file>
        parts = self.path.split("/")
        mode, repo, name = parts[1], "/".join(parts[2:4]), parts[-1]
        data = files(mode).get(name)
        if mode == "missing" or data is None or len(parts) < 8:
            self.send_error(404)
            return
        if parts[5] == "latest":
            place = f"/{mode}/{repo}/releases/download/{TAGS[repo]}/{name}"
            self.send_response(302)
            self.send_header("Location", ("http://192.0.2.1" if mode == "offsite" else "") + place)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        tool = name in ("yt-dlp_linux", "deno-x86_64-unknown-linux-gnu.zip")
        self.send_response(200)
        self.send_header("Content-Length", str(len(data) + (4096 if tool and mode == "cut" else 0)))
        self.end_headers()
        if not with_body:
            return
        if tool and mode == "stall":
            self.wfile.write(data[:8])
            self.wfile.flush()
            time.sleep(120)
            return
        self.wfile.write(data)


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that gave up on a stalled or cut download


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
