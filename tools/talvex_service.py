#!/usr/bin/env python3
"""Local Talvex service: stands in for the Talvex web endpoints the updater talks to.

One process serves the address check, the version page and installer download
(plain HTTP on two ports), the update server and host list (HTTPS), and a JSON
control port through which tests set addresses, accounts and scripted answers
and read back the requests the updater made. Everything listens on 127.0.0.1.
"""

import argparse
import base64
import binascii
import copy
import functools
import http.server
import json
import re
import select
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
from urllib.parse import parse_qsl, urlsplit

LOOPBACK = "127.0.0.1"
DEFAULT_ADDRESS = "203.0.113.7"
DEFAULT_PROXY_ADDRESS = "198.51.100.77"
DEFAULT_VERSION = "4.0.8"
DEFAULT_DOWNLOAD_SIZE = 65536
DEFAULT_STORE = {"accounts": {"demo": {
    "password": "demo-pass", "donator": False, "abuse": False,
    "hosts": [
        {"name": "home.talvex-demo.test", "kind": "dynamic", "address": "198.51.100.1"},
        {"name": "office.talvex-demo.test", "kind": "dynamic", "address": "198.51.100.1"},
        {"name": "*.wild.talvex-demo.test", "kind": "wildcard", "address": "198.51.100.1"},
        {"name": "mail.talvex-demo.test", "kind": "static", "address": "198.51.100.1",
         "donator_only": True},
    ]}}}

VERSION_PATH = "/support/clients/talvex-updater-winv4-current-version.html"
DOWNLOAD_PATH = "/windows/TalUpSetup.exe"
UPDATE_PATH = "/nic/update"
HOSTLIST_PATH = "/text/gethostlist"
CHECKIP_PAGE = ("<html><head><title>Current IP Check</title></head>"
                "<body>Current IP Address: {}</body></html>")

MAX_HOSTS = 20            # more names than this in one update earns "numhost"
MAX_BODY = 64 * 1024      # request bodies larger than this are not kept
MAX_REPEATED = 16 * 1024 * 1024   # the largest scripted answer a repeated body makes
MAX_DISCARD = 16 * 1024 * 1024   # ... and larger than this not even read away
MAX_LOGGED = 10000        # oldest log entries are dropped past this many
MAX_DOWNLOAD = 64 * 1024 * 1024
HANG_SECONDS = 120
HANDSHAKE_SECONDS = 10
IDLE_SECONDS = 30         # idle keep-alive connections are closed after this

ENDPOINTS = ("checkip", "checkip80", "checkip8245", "update", "hostlist",
             "version", "download")
MODES = ("normal", "hang", "close", "no-length", "cut")
ROLES = ("http", "alt", "https")   # the 80, 8245 and 443 listeners
CONTENT_TYPES = {"checkip": "text/html", "version": "text/html",
                 "download": "application/octet-stream",
                 "update": "text/plain", "hostlist": "text/plain"}
LABEL = re.compile(r"[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?")


class ControlError(Exception):
    """A control request the service refuses; carries the HTTP status."""

    def __init__(self, message, status=400):
        super().__init__(message)
        self.status = status


def is_fqdn(name):
    """True for a well-formed fully qualified host name."""
    if len(name) > 253 or "." not in name:
        return False
    return all(LABEL.fullmatch(label) for label in name.split("."))


def split_hosts(value):
    return [name for name in value.split(",") if name]


def parse_basic(value):
    """(user, password) from a Basic Authorization header, or None."""
    scheme, _, token = (value or "").strip().partition(" ")
    if scheme.lower() != "basic":
        return None
    try:
        raw = base64.b64decode(token.strip(), validate=True)
    except (binascii.Error, ValueError):
        return None
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("latin-1")   # Windows clients may send ANSI text
    user, sep, password = text.partition(":")
    return (user, password) if sep else None


@functools.lru_cache(maxsize=4)
def pattern_bytes(size):
    """Deterministic installer body so clients' downloads can be checked byte for byte."""
    block = bytes(range(251))
    return (block * (size // 251 + 1))[:size]


def find_host(account, name):
    wanted = name.lower()
    for host in account["hosts"]:
        if host["name"].lower() == wanted:
            return host
    return None


def update_one(account, name, address):
    if not is_fqdn(name):
        return "notfqdn"
    host = find_host(account, name)
    if host is None:
        return "nohost"
    if host.get("donator_only") and not account.get("donator"):
        return "!donator"
    if host.get("abuse"):
        return "abuse"
    if host.get("address") == address:
        return "nochg " + address
    host["address"] = address
    return "good " + address


def check_store(store):
    """Validate a posted account store and fill in optional fields."""
    accounts = store.get("accounts")
    if not isinstance(accounts, dict):
        raise ControlError("'accounts' must be an object")
    for user, account in accounts.items():
        if not isinstance(account, dict) or not isinstance(account.get("password"), str):
            raise ControlError(f"account {user!r} needs a string 'password'")
        account.setdefault("donator", False)
        account.setdefault("abuse", False)
        hosts = account.setdefault("hosts", [])
        if not isinstance(hosts, list):
            raise ControlError(f"account {user!r}: 'hosts' must be a list")
        for host in hosts:
            if not isinstance(host, dict) or not isinstance(host.get("name"), str):
                raise ControlError(f"account {user!r}: each host needs a string 'name'")
            host.setdefault("kind", "dynamic")
            host.setdefault("address", "")
            if not isinstance(host["kind"], str) or not isinstance(host["address"], str):
                raise ControlError(f"host {host['name']!r}: 'kind' and 'address' are strings")
    return store


def check_script(data):
    """Turn a posted scripted answer into the queued form."""
    endpoint = data.get("endpoint")
    if endpoint not in ENDPOINTS:
        raise ControlError(f"'endpoint' must be one of {', '.join(ENDPOINTS)}")
    if "body_hex" in data:
        try:
            body = bytes.fromhex(data["body_hex"])
        except (TypeError, ValueError):
            raise ControlError("'body_hex' must be hexadecimal text") from None
    else:
        body = data.get("body", "")
        if not isinstance(body, str):
            raise ControlError("'body' must be a string")
        body = body.encode("utf-8")
    status = data.get("status", 200)
    if type(status) is not int or not 100 <= status <= 599:
        raise ControlError("'status' must be an HTTP status code")
    # A body of any size from a short text: the text repeated this often.
    repeat = data.get("repeat", 1)
    if type(repeat) is not int or not 1 <= repeat <= MAX_REPEATED // max(len(body), 1):
        raise ControlError(f"'repeat' must be 1 to {MAX_REPEATED} bytes' worth")
    body *= repeat
    times = data.get("times", 1)
    if type(times) is not int or (times < 1 and times != -1):
        raise ControlError("'times' must be a positive count or -1")
    mode = data.get("mode", "normal")
    if mode not in MODES:
        raise ControlError(f"'mode' must be one of {', '.join(MODES)}")
    return endpoint, {"body": body, "status": status, "times": times, "mode": mode}


class State:
    """Everything the listeners share. Every access holds self.lock."""

    def __init__(self, log_file=None):
        self.lock = threading.RLock()
        self.log_file = log_file
        self.reset()

    def reset(self):
        with self.lock:
            self.address = DEFAULT_ADDRESS
            self.proxy_enabled = False
            self.proxy_address = DEFAULT_PROXY_ADDRESS
            self.store = copy.deepcopy(DEFAULT_STORE)
            self.scripts = {}
            self.version = DEFAULT_VERSION
            self.download_size = DEFAULT_DOWNLOAD_SIZE
            self.download_length = True
            self.download_file = None
            self.download_rate = 0
            self.download_cut = None
            self.requests = []

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)
            del self.requests[:-MAX_LOGGED]
            if self.log_file:
                self.log_file.write(json.dumps(entry) + "\n")
                self.log_file.flush()

    def requests_for(self, path=None):
        with self.lock:
            return [r for r in self.requests if path is None or r["path"] == path]

    def add_script(self, endpoint, answer):
        with self.lock:
            queue = self.scripts.setdefault(endpoint, [])
            queue.append(answer)
            return len(queue)

    def take_script(self, *endpoints):
        """Next scripted answer from the first endpoint queue that has one."""
        with self.lock:
            for endpoint in endpoints:
                queue = self.scripts.get(endpoint)
                if not queue:
                    continue
                answer = queue[0]
                if answer["times"] != -1:
                    answer["times"] -= 1
                    if answer["times"] == 0:
                        queue.pop(0)
                return dict(answer)
            return None

    def clear_scripts(self, endpoint=None):
        with self.lock:
            if endpoint is None:
                self.scripts.clear()
            else:
                self.scripts.pop(endpoint, None)

    def checkip_address(self, role):
        # A transparent proxy only sits in front of the standard web port.
        with self.lock:
            if role == "http" and self.proxy_enabled:
                return self.proxy_address
            return self.address

    def public_address(self):
        with self.lock:
            return self.address

    def _account(self, credentials):
        if credentials is None:
            return None
        user, password = credentials
        account = self.store["accounts"].get(user)
        if account is None or account.get("password") != password:
            return None
        return account

    def update(self, credentials, names, address):
        """Answer lines for one update request."""
        with self.lock:
            account = self._account(credentials)
            if account is None:
                return ["badauth"]
            if not names:
                return ["notfqdn"]
            if len(names) > MAX_HOSTS:
                return ["numhost"] * len(names)
            if account.get("abuse"):
                return ["abuse"] * len(names)
            return [update_one(account, name, address) for name in names]

    def host_list(self, credentials):
        """Host list body, or None when the credentials are wrong."""
        with self.lock:
            account = self._account(credentials)
            if account is None:
                return None
            kinds = {}   # keeps the order in which kinds first appear
            for host in account["hosts"]:
                kinds.setdefault(host["kind"], []).append(host["name"])
            return "".join(f"{kind}:{','.join(names)}\n" for kind, names in kinds.items())

    def download(self):
        """Installer body: the named file as it is now on disk, else a pattern."""
        with self.lock:
            path, length, rate = self.download_file, self.download_length, self.download_rate
            if path is None:
                return pattern_bytes(self.download_size), length, rate
        try:
            with open(path, "rb") as f:
                return f.read(MAX_DOWNLOAD + 1)[:MAX_DOWNLOAD], length, rate
        except OSError:
            return b"", length, rate


class Listener(http.server.ThreadingHTTPServer):
    """One listening port; TLS (if any) is negotiated in the connection's own thread."""

    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, service, role, port, handler, tls_context=None):
        self.service = service
        self.role = role
        self.tls_context = tls_context
        self.connections = set()
        super().__init__((LOOPBACK, port), handler)

    def server_bind(self):
        # Skip the base class's reverse name look-up: it can stall without a resolver.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def finish_request(self, request, client_address):
        conn = request
        if self.tls_context is not None:
            request.settimeout(HANDSHAKE_SECONDS)
            try:
                conn = self.tls_context.wrap_socket(request, server_side=True)
            except OSError:
                return   # failed handshakes are the client's business
        self.service.track(self, conn)
        try:
            self.RequestHandlerClass(conn, client_address, self)
        finally:
            self.service.untrack(self, conn)
            if conn is not request:
                close_tls(conn)

    def handle_error(self, request, client_address):
        if isinstance(sys.exc_info()[1], OSError):
            return   # clients dropping connections is routine here
        super().handle_error(request, client_address)


def close_tls(conn):
    # Send close_notify so a client reading to the end sees a clean end of data.
    try:
        conn.settimeout(1.0)
        conn.unwrap()
    except (OSError, ValueError):
        pass
    finally:
        conn.close()


def drop_connection(conn):
    """Cut a connection at the TCP level, bypassing TLS, from any thread."""
    try:
        socket.socket.shutdown(conn, socket.SHUT_RDWR)
    except OSError:
        pass


class BaseHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = IDLE_SECONDS

    def version_string(self):
        return "TalvexService/1.0"

    def log_message(self, format, *args):
        pass   # the JSON request log is the record that matters

    def read_body(self):
        """Request body, or None when it is too large or not delimited by a length."""
        if self.headers.get("Transfer-Encoding"):
            self.close_connection = True
            return None
        try:
            length = int(self.headers.get("Content-Length") or 0)
        except ValueError:
            length = -1
        if 0 <= length <= MAX_BODY:
            return self.rfile.read(length)
        self.close_connection = True   # an unread body would spoil the next request
        if MAX_BODY < length <= MAX_DISCARD:
            # Read it away in pieces: closing with unread data would reset the
            # connection and the client could lose the answer.
            while length > 0:
                chunk = self.rfile.read(min(length, MAX_BODY))
                if not chunk:
                    break
                length -= len(chunk)
        return None

    def reply(self, status, body, content_type, headers=(), length=True, rate=0):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
            if self.close_connection:
                self.send_header("Connection", "close")
        else:
            self.send_header("Connection", "close")   # the end of data marks the end of body
        self.end_headers()
        if rate <= 0:
            self.wfile.write(body)
            return
        # Slowly, about `rate` bytes a second, so that a client's progress shows.
        step = max(1, rate // 10)
        for start in range(0, len(body), step):
            if self.server.service.stopping.is_set():
                break
            self.wfile.write(body[start:start + step])
            self.wfile.flush()
            time.sleep(0.1)


class ServiceHandler(BaseHandler):
    """Answers on the address-check, web, download and update listeners."""

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    @property
    def state(self):
        return self.server.service.state

    def dispatch(self):
        self.read_body()
        url = urlsplit(self.path)   # also copes with the absolute form proxies receive
        path = url.path or "/"
        params = dict(parse_qsl(url.query, keep_blank_values=True))
        credentials = parse_basic(self.headers.get("Authorization"))
        self.state.record({
            "port": self.server.server_port, "tls": self.server.tls_context is not None,
            "method": self.command, "path": path, "query": url.query, "params": params,
            "headers": dict(self.headers.items()),
            "user": credentials[0] if credentials else None, "time": time.time()})
        endpoint = self.endpoint_for(path)
        if endpoint is None:
            self.reply(404, b"not found\n", "text/plain")
            return
        script = self.state.take_script(*self.script_queues(endpoint))
        if script is not None:
            self.serve_script(script, CONTENT_TYPES[endpoint])
            return
        getattr(self, "answer_" + endpoint)(params, credentials)

    def endpoint_for(self, path):
        if self.server.role == "https":
            # The download server answers over TLS too: the installer is
            # fetched only over a verified connection.
            return {UPDATE_PATH: "update", HOSTLIST_PATH: "hostlist", DOWNLOAD_PATH: "download"}.get(path)
        return {"/": "checkip", VERSION_PATH: "version", DOWNLOAD_PATH: "download"}.get(path)

    def script_queues(self, endpoint):
        if endpoint != "checkip":
            return (endpoint,)
        own = "checkip80" if self.server.role == "http" else "checkip8245"
        return (own, "checkip")

    def serve_script(self, script, content_type):
        mode = script["mode"]
        if mode == "hang":
            self.hang()
        elif mode == "close":
            self.abort()
        elif mode == "cut":
            self.cut_reply(script["status"], script["body"], content_type)
        else:
            self.reply(script["status"], script["body"], content_type,
                       length=mode != "no-length")

    def cut_reply(self, status, body, content_type):
        """Announce the whole body, send its first half, then drop the connection."""
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:len(body) // 2])
        self.wfile.flush()
        time.sleep(0.2)
        self.abort()

    def abort(self):
        self.close_connection = True
        drop_connection(self.connection)

    def hang(self):
        """Send nothing until the client gives up, the service stops or time runs out."""
        stopping = self.server.service.stopping
        deadline = time.monotonic() + HANG_SECONDS
        while not stopping.is_set() and time.monotonic() < deadline:
            try:
                readable, _, _ = select.select([self.connection], [], [], 0.2)
                if readable and not self.connection.recv(4096):
                    break
            except (OSError, ValueError):
                break
        self.abort()

    def reply_lines(self, lines, status=200, headers=()):
        body = ("\n".join(lines) + "\n").encode("utf-8")
        self.reply(status, body, "text/plain", headers)

    def reply_challenge(self):
        self.reply_lines(["badauth"], 401, [("WWW-Authenticate", 'Basic realm="Talvex"')])

    def answer_checkip(self, params, credentials):
        address = self.state.checkip_address(self.server.role)
        self.reply(200, CHECKIP_PAGE.format(address).encode("utf-8"), "text/html")

    def answer_version(self, params, credentials):
        with self.state.lock:
            version = self.state.version
        self.reply(200, version.encode("utf-8"), "text/html")

    def answer_download(self, params, credentials):
        body, length, rate = self.state.download()
        with self.state.lock:
            cut = self.state.download_cut
        if cut is None or cut >= len(body):
            self.reply(200, body, "application/octet-stream", length=length, rate=rate)
            return
        # A connection lost on the way: the whole length announced, part sent.
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body[:cut])
        self.wfile.flush()
        self.abort()

    def answer_update(self, params, credentials):
        if not self.headers.get("User-Agent", "").strip():
            self.reply_lines(["badagent"])
        elif self.headers.get("Authorization") is None:
            self.reply_challenge()
        else:
            address = params.get("myip") or self.state.public_address()
            names = split_hosts(params.get("hostname", ""))
            self.reply_lines(self.state.update(credentials, names, address))

    def answer_hostlist(self, params, credentials):
        if self.headers.get("Authorization") is None:
            self.reply_challenge()
            return
        body = self.state.host_list(credentials)
        if body is None:
            self.reply_lines(["badauth"])
        else:
            self.reply(200, body.encode("utf-8"), "text/plain")


# (method, path) -> Service method that answers it
CONTROL_ROUTES = {
    ("GET", "/control/health"): "control_health",
    ("POST", "/control/reset"): "control_reset",
    ("POST", "/control/address"): "control_address",
    ("POST", "/control/proxy"): "control_proxy",
    ("GET", "/control/accounts"): "control_get_accounts",
    ("POST", "/control/accounts"): "control_set_accounts",
    ("POST", "/control/script"): "control_script",
    ("POST", "/control/script/clear"): "control_script_clear",
    ("POST", "/control/tls"): "control_tls",
    ("POST", "/control/listen"): "control_listen",
    ("POST", "/control/version"): "control_version",
    ("POST", "/control/download"): "control_download",
    ("GET", "/control/requests"): "control_requests",
    ("POST", "/control/requests/clear"): "control_requests_clear",
}


class ControlHandler(BaseHandler):
    """JSON control interface used by the tests."""

    def do_GET(self):
        self.route()

    def do_POST(self):
        self.route()

    def route(self):
        url = urlsplit(self.path)
        name = CONTROL_ROUTES.get((self.command, url.path))
        if name is None:
            known = any(path == url.path for _, path in CONTROL_ROUTES)
            self.send_json(405 if known else 404, {"ok": False, "error": "no such control"})
            return
        body = self.read_body()
        if body is None:
            self.send_json(413, {"ok": False, "error": "request body too large"})
            return
        try:
            data = json.loads(body) if body.strip() else {}
        except ValueError:
            self.send_json(400, {"ok": False, "error": "malformed JSON"})
            return
        if not isinstance(data, dict):
            self.send_json(400, {"ok": False, "error": "expected a JSON object"})
            return
        try:
            result = getattr(self.server.service, name)(data, url.query)
        except ControlError as error:
            self.send_json(error.status, {"ok": False, "error": str(error)})
            return
        self.send_json(200, result)

    def send_json(self, status, value):
        self.reply(status, json.dumps(value).encode("utf-8"), "application/json")


def need(data, key, kind, optional=False):
    """Fetch a typed field from a control request."""
    if key not in data and optional:
        return None
    value = data.get(key)
    if not isinstance(value, kind) or (kind is int and isinstance(value, bool)):
        raise ControlError(f"'{key}' must be a {kind.__name__}")
    return value


class Service:
    """The listeners plus the shared state; also answers the control requests."""

    def __init__(self, ports, control_port, tls_context, log_file=None, stranger_context=None):
        self.ports = dict(ports)    # role -> port
        self.control_port = control_port
        self.tls_context = tls_context
        self.trusted_context = tls_context
        # A certificate from an authority the clients do not trust, shown
        # instead of the trusted one after /control/tls {"trusted": false}.
        self.stranger_context = stranger_context
        self.state = State(log_file)
        self.lock = self.state.lock
        self.stopping = threading.Event()
        self.servers = dict.fromkeys(ROLES)
        self.control = None

    def start(self):
        try:
            for role in ROLES:
                self.open_listener(role)
            self.control = Listener(self, "control", self.control_port, ControlHandler)
            self.serve(self.control)
        except OSError:
            self.stop()
            raise

    def stop(self):
        self.stopping.set()
        with self.lock:
            for role in ROLES:
                self.close_listener(role)
            if self.control is not None:
                self.shut(self.control)
                self.control = None

    def serve(self, server):
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                         daemon=True).start()

    def shut(self, server):
        server.shutdown()
        server.server_close()
        with self.lock:
            for conn in server.connections:
                drop_connection(conn)

    def open_listener(self, role):
        with self.lock:
            if self.servers[role] is not None:
                return
            tls = self.tls_context if role == "https" else None
            server = Listener(self, role, self.ports[role], ServiceHandler, tls)
            self.servers[role] = server
            self.serve(server)

    def close_listener(self, role):
        # Open keep-alive connections are cut too, or a client could still be served.
        with self.lock:
            server, self.servers[role] = self.servers[role], None
            if server is not None:
                self.shut(server)

    def track(self, server, conn):
        with self.lock:
            server.connections.add(conn)

    def untrack(self, server, conn):
        with self.lock:
            server.connections.discard(conn)

    # Control requests: each takes the JSON object and the raw query string.

    def control_health(self, data, query):
        return {"ok": True}

    def control_reset(self, data, query):
        with self.lock:
            self.state.reset()
            self.show_certificate(self.trusted_context)
            for role in ROLES:
                self.reopen(role)
        return {"ok": True}

    def reopen(self, role):
        try:
            self.open_listener(role)
        except OSError as error:
            raise ControlError(f"cannot listen on port {self.ports[role]}: {error}", 409)

    def control_address(self, data, query):
        address = need(data, "address", str)
        with self.lock:
            self.state.address = address
        return {"ok": True, "address": address}

    def control_proxy(self, data, query):
        enabled = need(data, "enabled", bool)
        address = need(data, "address", str, optional=True)
        with self.lock:
            self.state.proxy_enabled = enabled
            if address is not None:
                self.state.proxy_address = address
            return {"ok": True, "enabled": enabled, "address": self.state.proxy_address}

    def control_get_accounts(self, data, query):
        with self.lock:
            return copy.deepcopy(self.state.store)

    def control_set_accounts(self, data, query):
        store = check_store(copy.deepcopy(data))
        with self.lock:
            self.state.store = store
        return {"ok": True}

    def control_script(self, data, query):
        endpoint, answer = check_script(data)
        return {"ok": True, "endpoint": endpoint,
                "queued": self.state.add_script(endpoint, answer)}

    def control_script_clear(self, data, query):
        endpoint = data.get("endpoint")
        if endpoint is not None and endpoint not in ENDPOINTS:
            raise ControlError(f"unknown endpoint {endpoint!r}")
        self.state.clear_scripts(endpoint)
        return {"ok": True}

    def control_listen(self, data, query):
        port = need(data, "port", int)
        enabled = need(data, "enabled", bool)
        roles = [role for role, number in self.ports.items() if number == port]
        if not roles:
            raise ControlError(f"no service listener on port {port}")
        if enabled:
            self.reopen(roles[0])
        else:
            self.close_listener(roles[0])
        return {"ok": True, "port": port, "enabled": enabled}

    def show_certificate(self, context):
        """The certificate the update listener shows from its next handshake on.

        Open keep-alive connections are cut, or a client could go on using
        one made under the other certificate.
        """
        with self.lock:
            if context is self.tls_context:
                return
            self.tls_context = context
            server = self.servers.get("https")
            if server is not None:
                server.tls_context = context
                for conn in list(server.connections):
                    drop_connection(conn)

    def control_tls(self, data, query):
        trusted = need(data, "trusted", bool)
        if not trusted and self.stranger_context is None:
            raise ControlError("no untrusted certificate was loaded (--stranger-cert)")
        self.show_certificate(self.trusted_context if trusted else self.stranger_context)
        return {"ok": True, "trusted": trusted}

    def control_version(self, data, query):
        body = need(data, "body", str)
        with self.lock:
            self.state.version = body
        return {"ok": True}

    def control_download(self, data, query):
        size = need(data, "size", int, optional=True)
        length = need(data, "content_length", bool, optional=True)
        path = need(data, "file", str, optional=True)
        rate = need(data, "rate", int, optional=True)
        cut = need(data, "cut", int, optional=True)
        if size is not None and not 0 <= size <= MAX_DOWNLOAD:
            raise ControlError(f"'size' must be between 0 and {MAX_DOWNLOAD}")
        with self.lock:
            if "cut" in data:
                # Bytes sent before the connection drops; negative: the whole body.
                self.state.download_cut = cut if cut is not None and cut >= 0 else None
            if rate is not None:
                self.state.download_rate = max(0, rate)   # bytes a second, 0 at full speed
            if path is not None:
                # A file to serve as the installer ("" goes back to the pattern).
                self.state.download_file = path or None
            if size is not None:
                self.state.download_size = size
            if length is not None:
                self.state.download_length = length
            return {"ok": True, "size": self.state.download_size,
                    "content_length": self.state.download_length,
                    "file": self.state.download_file or ""}

    def control_requests(self, data, query):
        path = dict(parse_qsl(query)).get("path")
        return {"requests": self.state.requests_for(path)}

    def control_requests_clear(self, data, query):
        with self.lock:
            self.state.requests = []
        return {"ok": True}


def port_number(text):
    value = int(text)
    if not 1 <= value <= 65535:
        raise argparse.ArgumentTypeError("port must be 1-65535")
    return value


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Local Talvex service for tests.")
    parser.add_argument("--cert", required=True, help="server certificate (PEM)")
    parser.add_argument("--key", required=True, help="server private key (PEM)")
    parser.add_argument("--stranger-cert", help="server certificate from an untrusted authority (PEM)")
    parser.add_argument("--stranger-key", help="its private key (PEM)")
    parser.add_argument("--http-port", type=port_number, default=80)
    parser.add_argument("--alt-port", type=port_number, default=8245)
    parser.add_argument("--https-port", type=port_number, default=443)
    parser.add_argument("--control-port", type=port_number, default=8081)
    parser.add_argument("--log", help="also append each request as a JSON line here")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    try:
        context.load_cert_chain(args.cert, args.key)
        stranger = None
        if args.stranger_cert:
            stranger = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            stranger.load_cert_chain(args.stranger_cert, args.stranger_key)
        log_file = open(args.log, "a", encoding="utf-8") if args.log else None
    except (OSError, ssl.SSLError) as error:
        print(f"talvex_service: {error}", file=sys.stderr)
        return 2
    ports = {"http": args.http_port, "alt": args.alt_port, "https": args.https_port}
    service = Service(ports, args.control_port, context, log_file, stranger)
    try:
        service.start()
    except OSError as error:
        print(f"talvex_service: cannot listen: {error}", file=sys.stderr)
        return 1
    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: service.stopping.set())
    print("ready", flush=True)
    while not service.stopping.wait(0.5):
        pass
    service.stop()
    if log_file:
        log_file.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
