#!/usr/bin/env python3
"""Loopback servers for the lab: they play the status server and the download
server that QEVZUN talks to, so the tool does something real on a simulated
agent without any company server.

Status server:  GET /aapi/v1/zun/agentState/<uuid>
    answers {"status": 0, "data": {"state": ..., "releaseVersion": ...}} from a
    per-UUID script: a list of states handed out one per request (the last one
    repeats), optionally switching to another list once the package has been
    downloaded ("after_download").
Download server: GET /download/qev/qev64.msi and /download/qev/qev32.msi
    serves files from a directory, or 404 when the scenario refuses them.

The scenario is a JSON file:
    {"release": "3.6.0.1",
     "agents": {"<uuid>": {"states": ["LOWVERSION"], "after_download": ["NORMAL"]}},
     "default": {"states": ["INACTIVE"]},
     "refuse_download": false,
     "status_unreachable": false}

Bounded: the servers stop after --max-seconds, or as soon as the process
given by --watch-pid is gone, whichever comes first.
"""
import argparse
import http.server
import json
import os
import socketserver
import sys
import threading
import time

lock = threading.Lock()
downloads = 0
asked = {}


def log(path, line):
    if path:
        with lock, open(path, "a", encoding="utf-8") as f:
            f.write(time.strftime("%H:%M:%S ") + line + "\n")


def make_status_handler(scenario, request_log):
    class Status(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_GET(self):
            log(request_log, "status %s %s UA=%s" % (self.command, self.path, self.headers.get("User-Agent")))
            prefix = "/aapi/v1/zun/agentState/"
            if not self.path.startswith(prefix):
                return self.reply(404, b"not found", "text/plain")
            uuid = self.path[len(prefix):]
            script = scenario.get("agents", {}).get(uuid, scenario.get("default", {"states": ["INACTIVE"]}))
            with lock:
                states = script.get("after_download") if downloads and script.get("after_download") else script["states"]
                key = (uuid, id(states))
                n = asked.get(key, 0)
                asked[key] = n + 1
            state = states[min(n, len(states) - 1)]
            body = json.dumps({"status": 0, "data": {"state": state,
                                                     "releaseVersion": scenario.get("release", "")}}).encode()
            self.reply(200, body, "application/json")

        def reply(self, code, body, kind):
            self.send_response(code)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

    return Status


def make_download_handler(scenario, package_dir, request_log):
    class Download(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_GET(self):
            global downloads
            log(request_log, "download %s %s" % (self.command, self.path))
            name = self.path.rsplit("/", 1)[-1]
            path = os.path.join(package_dir, name)
            if (scenario.get("refuse_download") or not self.path.startswith("/download/qev/")
                    or name not in ("qev64.msi", "qev32.msi") or not os.path.isfile(path)):
                body = b"<html><body>404 Not Found</body></html>"
                self.send_response(404)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            with open(path, "rb") as f:
                data = f.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
            with lock:
                downloads += 1

    return Download


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scenario", required=True)
    ap.add_argument("--packages", required=True)
    ap.add_argument("--status-port", type=int, default=18080)
    ap.add_argument("--download-port", type=int, default=18081)
    ap.add_argument("--request-log")
    ap.add_argument("--max-seconds", type=float, default=900)
    ap.add_argument("--watch-pid", type=int)
    ap.add_argument("--ready-file")
    args = ap.parse_args()

    with open(args.scenario, encoding="utf-8") as f:
        scenario = json.load(f)

    servers = []
    if not scenario.get("status_unreachable"):
        servers.append(Server(("127.0.0.1", args.status_port), make_status_handler(scenario, args.request_log)))
    servers.append(Server(("127.0.0.1", args.download_port),
                          make_download_handler(scenario, args.packages, args.request_log)))
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    if args.ready_file:
        open(args.ready_file, "w").close()

    deadline = time.time() + args.max_seconds
    while time.time() < deadline:
        if args.watch_pid:
            try:
                os.kill(args.watch_pid, 0)
            except OSError:
                break
        time.sleep(0.2)
    for s in servers:
        s.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
