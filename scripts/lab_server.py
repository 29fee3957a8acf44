#!/usr/bin/env python3
"""Loopback servers for the lab: they play the status server and the download
server that QEVZUN talks to, so the tool does something real on a simulated
agent without any company server.

Status server:   GET /aapi/v1/zun/agentState/<uuid>
    {"status": 0, "data": {"state": ..., "releaseVersion": ...}} from the
    active scenario's script for that UUID ("*" for any other): a list of
    states handed out one per request (the last one repeats), switching to the
    "after_download" list once a package has been fetched.
Download server: GET /download/qev/qev64.msi and /download/qev/qev32.msi
    the fake agent's installer packages, or a 404 page when the scenario
    refuses them.
Control:         GET /scenario/<name>  makes <name> the active scenario (fresh
                                       counters) and answers its JSON
                 GET /requests         what the two servers were asked since,
                                       " https" after what came over TLS
                 GET /quit             ends the servers
Scenarios live in scripts/lab_scenarios.json.

With --secure-status-port and --secure-download-port the same two servers
answer over TLS there as well (same scenario, same counters). They show the
lab's server certificate (--tls-cert, --tls-key: PEM, issued by the lab CA
that the lab's prefixes trust), or what the scenario's "tls" names for that
server: "untrusted", a self-signed certificate for the same names
(--untrusted-cert, --untrusted-key), or "otherhost", one the lab CA issued
for another host (--otherhost-cert, --otherhost-key). With the scenario's
"redirect_to_http" the TLS status server answers every request with a
redirect to the same path on the plain status server.

Bounded: the servers end after --max-seconds, on /quit, or as soon as the
process given by --watch-pid is gone, whichever comes first.
"""
import argparse
import http.server
import json
import os
import socketserver
import ssl
import sys
import threading
import time


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class TlsServer(Server):
    """The TLS handshake happens on the connection's own thread, with the
    certificate that choose(kind) names at that moment."""

    def __init__(self, address, handler, kind, choose):
        super().__init__(address, handler)
        self.kind = kind
        self.choose = choose

    def finish_request(self, request, client_address):
        request.settimeout(30)  # a client that never finishes the handshake
        try:
            conn = self.choose(self.kind).wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return  # the client refused the certificate, or went away
        try:
            super().finish_request(conn, client_address)
        finally:
            conn.close()


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


class Lab:
    def __init__(self, scenarios, packages, status_port, secure_status_port=None, contexts=None):
        self.lock = threading.Lock()
        self.scenarios = scenarios
        self.packages = packages
        self.status_port = status_port
        self.secure_status_port = secure_status_port
        self.contexts = contexts or {}
        self.status_server = None
        self.secure_status_server = None
        self.done = threading.Event()
        self.activate("oldversion")

    def activate(self, name):
        scenario = self.scenarios["scenarios"][name]
        with self.lock:
            self.name = name
            self.scenario = scenario
            self.downloads = 0
            self.asked = {}
            self.requests = []
        self.set_status_listening(not scenario.get("status_unreachable", False))
        return dict(scenario, name=name, release=self.scenarios.get("release", ""))

    def set_status_listening(self, listening):
        if listening and self.status_server is None:
            self.status_server = serve(self.status_port, self.status_handler())
            if self.secure_status_port:
                self.secure_status_server = serve_tls(self.secure_status_port, self.status_handler(), "status",
                                                      self.context_for)
        elif not listening and self.status_server is not None:
            for server in (self.status_server, self.secure_status_server):
                if server is not None:
                    server.shutdown()
                    server.server_close()
            self.status_server = None
            self.secure_status_server = None

    def context_for(self, kind):
        """The certificate the scenario has the TLS server of kind show."""
        with self.lock:
            which = self.scenario.get("tls", {}).get(kind, "lab")
        return self.contexts[which]

    def record(self, line):
        with self.lock:
            self.requests.append(line)

    def next_state(self, uuid):
        with self.lock:
            scripts = self.scenario.get("status", {})
            script = scripts.get(uuid, scripts.get("*"))
            if script is None:
                return None
            states = script["states"]
            if self.downloads and script.get("after_download"):
                states = script["after_download"]
            key = (uuid, id(states))
            n = self.asked.get(key, 0)
            self.asked[key] = n + 1
            return states[min(n, len(states) - 1)]

    def status_handler(self):
        lab = self

        class Status(Handler):
            def do_GET(self):
                lab.record("status " + self.path + self.transport())
                if self.transport() and lab.scenario.get("redirect_to_http"):
                    host = self.headers.get("Host", "localhost").split(":")[0]
                    location = "http://%s:%d%s" % (host, lab.status_port, self.path)
                    return self.reply(302, b"", "text/plain", [("Location", location)])
                prefix = "/aapi/v1/zun/agentState/"
                state = lab.next_state(self.path[len(prefix):]) if self.path.startswith(prefix) else None
                if state is None:
                    return self.reply(404, b"<html><body>404 Not Found</body></html>", "text/html")
                body = {"status": 0, "data": {"state": state, "releaseVersion": lab.scenarios.get("release", "")}}
                self.reply(200, json.dumps(body).encode(), "application/json")

        return Status

    def download_handler(self):
        lab = self

        class Download(Handler):
            def do_GET(self):
                lab.record("download " + self.path + self.transport())
                name = self.path[len("/download/qev/"):]
                # A scenario may serve one of the wrongly signed variants
                # that lie beside the signed packages.
                path = os.path.join(lab.packages, lab.scenario.get("package_variant", ""), name)
                if (lab.scenario.get("refuse_download") or not self.path.startswith("/download/qev/")
                        or name not in ("qev64.msi", "qev32.msi") or not os.path.isfile(path)):
                    return self.reply(404, b"<html><body>404 Not Found</body></html>", "text/html")
                with open(path, "rb") as f:
                    self.reply(200, f.read(), "application/octet-stream")
                with lab.lock:
                    lab.downloads += 1

        return Download

    def control_handler(self):
        lab = self

        class Control(Handler):
            def do_GET(self):
                if self.path.startswith("/scenario/"):
                    name = self.path[len("/scenario/"):]
                    if name not in lab.scenarios["scenarios"]:
                        return self.reply(404, b"unknown scenario", "text/plain")
                    missing = set(lab.scenarios["scenarios"][name].get("tls", {}).values()) - set(lab.contexts)
                    if missing:
                        return self.reply(500, ("no certificate " + ", ".join(sorted(missing))).encode(), "text/plain")
                    return self.reply(200, json.dumps(lab.activate(name)).encode(), "application/json")
                if self.path == "/requests":
                    with lab.lock:
                        text = "".join(line + "\n" for line in lab.requests)
                    return self.reply(200, text.encode(), "text/plain")
                if self.path == "/quit":
                    self.reply(200, b"bye", "text/plain")
                    lab.done.set()
                    return
                self.reply(404, b"not found", "text/plain")

        return Control


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def transport(self):
        return " https" if isinstance(self.connection, ssl.SSLSocket) else ""

    def reply(self, code, body, kind, headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def start(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def serve(port, handler):
    return start(Server(("127.0.0.1", port), handler))


def serve_tls(port, handler, kind, choose):
    return start(TlsServer(("127.0.0.1", port), handler, kind, choose))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--scenarios", required=True)
    ap.add_argument("--packages", required=True)
    ap.add_argument("--scenario", default="oldversion")
    ap.add_argument("--status-port", type=int, required=True)
    ap.add_argument("--download-port", type=int, required=True)
    ap.add_argument("--control-port", type=int, required=True)
    ap.add_argument("--secure-status-port", type=int)
    ap.add_argument("--secure-download-port", type=int)
    ap.add_argument("--tls-cert")
    ap.add_argument("--tls-key")
    ap.add_argument("--untrusted-cert")
    ap.add_argument("--untrusted-key")
    ap.add_argument("--otherhost-cert")
    ap.add_argument("--otherhost-key")
    ap.add_argument("--max-seconds", type=float, default=1800)
    ap.add_argument("--watch-pid", type=int)
    ap.add_argument("--ready-file")
    args = ap.parse_args()

    secure = bool(args.secure_status_port or args.secure_download_port)
    if secure and not (args.secure_status_port and args.secure_download_port and args.tls_cert and args.tls_key):
        ap.error("the TLS servers need both secure ports, --tls-cert and --tls-key")
    contexts = {}
    if secure:
        contexts["lab"] = tls_context(args.tls_cert, args.tls_key)
        for name, cert, key in (("untrusted", args.untrusted_cert, args.untrusted_key),
                                ("otherhost", args.otherhost_cert, args.otherhost_key)):
            if cert and key:
                contexts[name] = tls_context(cert, key)

    with open(args.scenarios, encoding="utf-8") as f:
        lab = Lab(json.load(f), args.packages, args.status_port, args.secure_status_port, contexts)
    lab.activate(args.scenario)
    servers = [serve(args.download_port, lab.download_handler()), serve(args.control_port, lab.control_handler())]
    if secure:
        servers.append(serve_tls(args.secure_download_port, lab.download_handler(), "download", lab.context_for))
    if args.ready_file:
        with open(args.ready_file, "w") as f:
            f.write(str(os.getpid()))

    deadline = time.time() + args.max_seconds
    while time.time() < deadline and not lab.done.wait(0.2):
        if args.watch_pid:
            try:
                os.kill(args.watch_pid, 0)
            except OSError:
                break
    lab.set_status_listening(False)
    for s in servers:
        s.shutdown()
        s.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
