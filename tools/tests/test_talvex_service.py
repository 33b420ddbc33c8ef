"""Tests for the local Talvex service: runs a private instance on free high ports."""

import base64
import http.client
import json
import os
import select
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

SERVICE = Path(__file__).resolve().parents[1] / "talvex_service.py"
AGENT = "Talvex Updater Tests/1.0"
VERSION_PATH = "/support/clients/talvex-updater-winv4-current-version.html"
DOWNLOAD_PATH = "/windows/TalUpSetup.exe"
ports = {}
tmp = proc = tls_context = None


def make_certificates(folder):
    """Throwaway CA and a server certificate for the Talvex names and 127.0.0.1."""
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Talvex Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", "-new", *ec, "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=update.talvex.test")
    names = ",".join(f"DNS:{h}.talvex.test" for h in ("checkip", "update", "www", "download"))
    Path(folder, "ext.cnf").write_text(f"subjectAltName={names},IP:127.0.0.1\n"
                                       "extendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-out", "server.pem", "-extfile", "ext.cnf")


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for sock in sockets:
        sock.bind(("127.0.0.1", 0))
    numbers = [sock.getsockname()[1] for sock in sockets]
    for sock in sockets:
        sock.close()
    return numbers


def setUpModule():
    global tmp, proc, tls_context
    tmp = tempfile.TemporaryDirectory()
    make_certificates(tmp.name)
    tls_context = ssl.create_default_context(cafile=os.path.join(tmp.name, "ca.pem"))
    ports.update(zip(("http", "alt", "https", "control"), free_ports(4)))
    args = [sys.executable, str(SERVICE), "--log", os.path.join(tmp.name, "requests.jsonl"),
            "--cert", os.path.join(tmp.name, "server.pem"),
            "--key", os.path.join(tmp.name, "server.key")]
    for role in ports:
        args += [f"--{role}-port", str(ports[role])]
    proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
    readable, _, _ = select.select([proc.stdout], [], [], 10)
    if not readable or proc.stdout.readline() != "ready\n":
        proc.kill()
        raise RuntimeError("the Talvex service did not start")


def tearDownModule():
    proc.send_signal(signal.SIGTERM)
    try:
        code = proc.wait(5)
    finally:
        proc.kill()
        proc.stdout.close()
        tmp.cleanup()
    if code != 0:
        raise AssertionError(f"service exited with {code} on SIGTERM")


def control(method, path, data=None, raw=None):
    conn = http.client.HTTPConnection("127.0.0.1", ports["control"], timeout=5)
    try:
        conn.request(method, path, body=raw if raw is not None else json.dumps(data or {}))
        response = conn.getresponse()
        return response.status, json.loads(response.read())
    finally:
        conn.close()


def post(path, data=None):
    status, answer = control("POST", path, data)
    assert status == 200, (path, status, answer)
    return answer


def connect(port, tls=False, timeout=5):
    sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    if tls:   # verified against the throwaway CA, as the updater would
        sock = tls_context.wrap_socket(sock, server_hostname="update.talvex.test")
    return sock


def send(sock, path, headers=(), keep_alive=False):
    lines = [f"GET {path} HTTP/1.1", "Host: update.talvex.test", *headers]
    lines += [] if keep_alive else ["Connection: close"]
    sock.sendall(("\r\n".join(lines) + "\r\n\r\n").encode())
    response = http.client.HTTPResponse(sock)
    response.begin()
    response.body = response.read()
    return response


def fetch(port, path, headers=(), tls=False, timeout=5):
    with connect(port, tls, timeout) as sock:
        return send(sock, path, headers)


def basic(user, password):
    return "Authorization: Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


def update(query, user="demo", password="demo-pass", agent=AGENT, path="/nic/update?"):
    headers = [f"User-Agent: {agent}"] if agent else []
    headers += [basic(user, password)] if user else []
    return fetch(ports["https"], path + query, headers, tls=True)


def text(response):
    return response.body.decode()


def checkip(port):
    return text(fetch(port, "/"))


def page(address):
    return ("<html><head><title>Current IP Check</title></head>"
            f"<body>Current IP Address: {address}</body></html>")


def demo_address(name):
    _, store = control("GET", "/control/accounts")
    return {h["name"]: h["address"] for h in store["accounts"]["demo"]["hosts"]}[name]


class ServiceTest(unittest.TestCase):
    def setUp(self):
        post("/control/reset")


class AddressAndDownloadTests(ServiceTest):
    def test_address_page_on_both_ports_and_in_proxy_mode(self):
        self.assertEqual(checkip(ports["http"]), page("203.0.113.7"))
        post("/control/address", {"address": "192.0.2.5"})
        post("/control/proxy", {"enabled": True})
        self.assertEqual(checkip(ports["http"]), page("198.51.100.77"))
        self.assertEqual(text(fetch(ports["alt"], "/?x=1")), page("192.0.2.5"))
        post("/control/proxy", {"enabled": True, "address": "198.51.100.99"})
        self.assertEqual(checkip(ports["http"]), page("198.51.100.99"))
        post("/control/proxy", {"enabled": False})
        self.assertEqual(checkip(ports["http"]), page("192.0.2.5"))
        self.assertEqual(fetch(ports["http"], "/nic/update").status, 404)

    def test_version_page_and_download(self):
        response = fetch(ports["http"], VERSION_PATH)
        self.assertEqual(response.body, b"4.0.8")
        self.assertEqual(response.getheader("Content-Type"), "text/html")
        post("/control/version", {"body": "4.0.9"})
        self.assertEqual(fetch(ports["alt"], VERSION_PATH).body, b"4.0.9")
        response = fetch(ports["http"], DOWNLOAD_PATH)
        self.assertEqual(response.getheader("Content-Length"), "65536")
        self.assertEqual(response.body, bytes(i % 251 for i in range(65536)))
        post("/control/download", {"size": 100000, "content_length": False})
        with connect(ports["http"]) as sock:
            response = send(sock, DOWNLOAD_PATH, keep_alive=True)
            self.assertIsNone(response.getheader("Content-Length"))
            self.assertEqual(response.body, bytes(i % 251 for i in range(100000)))
            self.assertEqual(sock.recv(1), b"")   # the close marked the end of the body

    def test_download_serves_a_file_over_tls_as_it_is_on_disk(self):
        installer = Path(tmp.name, "setup.exe")
        installer.write_bytes(b"MZ first build")
        post("/control/download", {"file": str(installer), "content_length": True})
        response = fetch(ports["https"], DOWNLOAD_PATH, tls=True)
        self.assertEqual((response.status, response.body), (200, b"MZ first build"))
        self.assertEqual(response.getheader("Content-Length"), "14")
        installer.write_bytes(b"MZ second build, longer")
        self.assertEqual(fetch(ports["http"], DOWNLOAD_PATH).body, b"MZ second build, longer")
        post("/control/download", {"file": ""})
        self.assertEqual(len(fetch(ports["https"], DOWNLOAD_PATH, tls=True).body), 65536)

    def test_download_can_be_slow_or_cut_off(self):
        post("/control/download", {"size": 3000, "rate": 10000})
        started = time.monotonic()
        self.assertEqual(len(fetch(ports["http"], DOWNLOAD_PATH).body), 3000)
        self.assertGreater(time.monotonic() - started, 0.2)   # three pieces, a tenth of a second apart
        post("/control/download", {"rate": 0, "cut": 1000})
        with self.assertRaises(http.client.IncompleteRead) as cut:
            fetch(ports["http"], DOWNLOAD_PATH)
        self.assertEqual((len(cut.exception.partial), cut.exception.expected), (1000, 2000))
        post("/control/download", {"cut": -1})
        self.assertEqual(len(fetch(ports["http"], DOWNLOAD_PATH).body), 3000)


class UpdateTests(ServiceTest):
    def test_good_then_nochg_and_the_store_keeps_the_address(self):
        response = update("hostname=home.talvex-demo.test&myip=192.0.2.10")
        self.assertEqual((response.status, text(response)), (200, "good 192.0.2.10\n"))
        self.assertEqual(response.getheader("Content-Type"), "text/plain")
        self.assertEqual(text(update("hostname=home.talvex-demo.test&myip=192.0.2.10")),
                         "nochg 192.0.2.10\n")
        self.assertEqual(demo_address("home.talvex-demo.test"), "192.0.2.10")
        post("/control/address", {"address": "192.0.2.30"})
        self.assertEqual(text(update("hostname=office.talvex-demo.test")), "good 192.0.2.30\n")

    def test_one_line_per_name_in_request_order_at_most_twenty(self):
        names = ["OFFICE.talvex-demo.test", "nodot", "-bad.talvex-demo.test",
                 "a" * 64 + ".talvex-demo.test", "other.example.test", "mail.talvex-demo.test"]
        body = text(update("hostname=" + ",".join(names) + "%2C%2Chome.talvex-demo.test"
                           "&myip=192.0.2.11"))
        self.assertEqual(body.split("\n"), ["good 192.0.2.11", "notfqdn", "notfqdn", "notfqdn",
                                            "nohost", "!donator", "good 192.0.2.11", ""])
        names = [f"h{i}.talvex-demo.test" for i in range(21)]
        self.assertEqual(text(update("hostname=" + ",".join(names))), "numhost\n" * 21)
        self.assertEqual(text(update("hostname=" + ",".join(names[:20]))), "nohost\n" * 20)

    def test_abuse_and_donator_flags(self):
        post("/control/accounts", {"accounts": {
            "bad": {"password": "p", "abuse": True, "hosts": [{"name": "a.talvex-demo.test"}]},
            "rich": {"password": "p", "donator": True, "hosts": [
                {"name": "m.talvex-demo.test", "donator_only": True},
                {"name": "x.talvex-demo.test", "abuse": True}]}}})
        self.assertEqual(text(update("hostname=a.talvex-demo.test,z.test", "bad", "p")),
                         "abuse\nabuse\n")
        self.assertEqual(text(update("hostname=m.talvex-demo.test,x.talvex-demo.test"
                                     "&myip=192.0.2.1", "rich", "p")), "good 192.0.2.1\nabuse\n")

    def test_agent_and_credential_failures(self):
        query = "hostname=home.talvex-demo.test,office.talvex-demo.test"
        self.assertEqual(text(update(query, agent=None)), "badagent\n")
        for path in ("/nic/update?", "/text/gethostlist?"):
            response = update(query, user=None, path=path)
            self.assertEqual((response.status, text(response)), (401, "badauth\n"))
            self.assertEqual(response.getheader("WWW-Authenticate"), 'Basic realm="Talvex"')
            response = update(query, password="no", path=path)
            self.assertEqual((response.status, text(response)), (200, "badauth\n"))
        self.assertEqual(text(update(query, user="nobody")), "badauth\n")
        self.assertEqual(demo_address("home.talvex-demo.test"), "198.51.100.1")

    def test_host_list_lines_per_kind_in_first_seen_order(self):
        self.assertEqual(text(update("", path="/text/gethostlist")),
                         "dynamic:home.talvex-demo.test,office.talvex-demo.test\n"
                         "wildcard:*.wild.talvex-demo.test\nstatic:mail.talvex-demo.test\n")
        post("/control/accounts", {"accounts": {"u": {"password": "p", "hosts": [
            {"name": "a.t.test", "kind": "static"}, {"name": "b.t.test", "kind": "dynamic"},
            {"name": "c.t.test", "kind": "static"}]}}})
        self.assertEqual(text(update("", "u", "p", path="/text/gethostlist")),
                         "static:a.t.test,c.t.test\ndynamic:b.t.test\n")


class ScriptTests(ServiceTest):
    def script(self, **answer):
        post("/control/script", answer)

    def test_fifo_times_and_forever(self):
        self.script(endpoint="update", body="911\n")
        self.script(endpoint="update", body="dnserr\n", times=2)
        bodies = [text(update("hostname=x", user=None)) for _ in range(3)]
        self.assertEqual(bodies, ["911\n", "dnserr\n", "dnserr\n"])
        self.assertEqual(update("hostname=x", user=None).status, 401)
        self.script(endpoint="version", body="9.9.9", times=-1)
        for _ in range(3):
            self.assertEqual(fetch(ports["http"], VERSION_PATH).body, b"9.9.9")
        post("/control/script/clear")
        self.assertEqual(fetch(ports["http"], VERSION_PATH).body, b"4.0.8")

    def test_single_port_checkip_comes_first(self):
        self.script(endpoint="checkip80", body="eighty")
        self.script(endpoint="checkip", body="both", times=2)
        self.assertEqual(checkip(ports["http"]), "eighty")
        self.assertEqual(checkip(ports["alt"]), "both")
        self.assertEqual(checkip(ports["http"]), "both")
        self.assertEqual(checkip(ports["alt"]), page("203.0.113.7"))

    def test_raw_bytes_status_and_no_length(self):
        self.script(endpoint="download", body_hex="00ff0d0a", status=503)
        response = fetch(ports["http"], DOWNLOAD_PATH)
        self.assertEqual((response.status, response.body), (503, b"\x00\xff\r\n"))
        self.script(endpoint="hostlist", mode="no-length", body="dynamic:a.b.test\n")
        response = fetch(ports["https"], "/text/gethostlist", tls=True)
        self.assertIsNone(response.getheader("Content-Length"))
        self.assertEqual(response.body, b"dynamic:a.b.test\n")

    def test_hang_and_close(self):
        self.script(endpoint="checkip", mode="hang")
        self.script(endpoint="update", mode="hang")
        started = time.monotonic()
        with self.assertRaises(TimeoutError):
            fetch(ports["http"], "/", timeout=0.5)
        with self.assertRaises(TimeoutError):
            fetch(ports["https"], "/nic/update", tls=True, timeout=0.5)
        self.assertLess(time.monotonic() - started, 3)
        self.assertEqual(checkip(ports["http"]), page("203.0.113.7"))   # others still served
        self.script(endpoint="checkip", mode="close")
        with self.assertRaises(ConnectionError):
            fetch(ports["alt"], "/")

    def test_repeated_and_cut_bodies(self):
        self.script(endpoint="checkip", body="ab", repeat=300000)   # past the control body limit
        self.assertEqual(fetch(ports["http"], "/").body, b"ab" * 300000)
        self.script(endpoint="version", body="4.0.9     ", mode="cut")
        with connect(ports["http"]) as sock:   # read raw: the body is shorter than announced
            sock.sendall(f"GET {VERSION_PATH} HTTP/1.1\r\nHost: www.talvex.test\r\n\r\n".encode())
            data = b""
            while chunk := sock.recv(4096):
                data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        self.assertIn(b"Content-Length: 10", head)
        self.assertEqual(body, b"4.0.9")
        # This instance has no untrusted certificate to show.
        self.assertEqual(control("POST", "/control/tls", {"trusted": False})[0], 400)


class ListenerTests(ServiceTest):
    def test_listener_off_cuts_connections_and_on_again(self):
        with connect(ports["https"], tls=True) as sock:
            self.assertEqual(send(sock, "/x", keep_alive=True).status, 404)
            post("/control/listen", {"port": ports["https"], "enabled": False})
            with self.assertRaises(OSError):   # an open keep-alive connection is cut too
                send(sock, "/x", keep_alive=True)
        with self.assertRaises(ConnectionRefusedError):
            fetch(ports["https"], "/x", tls=True)
        self.assertEqual(checkip(ports["http"]), page("203.0.113.7"))
        post("/control/listen", {"port": ports["https"], "enabled": True})
        self.assertEqual(fetch(ports["https"], "/x", tls=True).status, 404)


class RequestLogTests(ServiceTest):
    def test_entries_carry_request_details(self):
        fetch(ports["http"], "/")
        query = "hostname=home.talvex-demo.test%2Coffice.talvex-demo.test&myip=192.0.2.9"
        update(query)
        [entry] = control("GET", "/control/requests?path=/nic/update")[1]["requests"]
        self.assertEqual((entry["port"], entry["tls"], entry["method"], entry["path"]),
                         (ports["https"], True, "GET", "/nic/update"))
        self.assertEqual((entry["query"], entry["user"]), (query, "demo"))
        self.assertEqual(entry["params"], {
            "hostname": "home.talvex-demo.test,office.talvex-demo.test", "myip": "192.0.2.9"})
        self.assertEqual(entry["headers"]["User-Agent"], AGENT)
        self.assertAlmostEqual(entry["time"], time.time(), delta=5)
        everything = control("GET", "/control/requests")[1]["requests"]
        self.assertEqual([(r["port"], r["user"]) for r in everything],
                         [(ports["http"], None), (ports["https"], "demo")])
        lines = Path(tmp.name, "requests.jsonl").read_text().splitlines()
        self.assertEqual(json.loads(lines[-1]), entry)
        post("/control/requests/clear")
        self.assertEqual(control("GET", "/control/requests")[1], {"requests": []})


class ControlTests(ServiceTest):
    def test_reset_restores_defaults(self):
        post("/control/address", {"address": "192.0.2.77"})
        post("/control/proxy", {"enabled": True, "address": "192.0.2.88"})
        post("/control/accounts", {"accounts": {}})
        post("/control/script", {"endpoint": "version", "body": "x", "times": -1})
        post("/control/version", {"body": "5.0.0"})
        post("/control/download", {"size": 10, "content_length": False})
        post("/control/listen", {"port": ports["alt"], "enabled": False})
        self.assertEqual(text(update("hostname=home.talvex-demo.test")), "badauth\n")
        post("/control/reset")
        self.assertEqual(control("GET", "/control/requests")[1], {"requests": []})
        self.assertEqual(checkip(ports["http"]), page("203.0.113.7"))
        self.assertEqual(checkip(ports["alt"]), page("203.0.113.7"))
        self.assertEqual(text(update("hostname=home.talvex-demo.test")), "good 203.0.113.7\n")
        self.assertEqual(fetch(ports["http"], VERSION_PATH).body, b"4.0.8")
        response = fetch(ports["http"], DOWNLOAD_PATH)
        self.assertEqual(response.getheader("Content-Length"), "65536")
        post("/control/proxy", {"enabled": True})
        self.assertEqual(checkip(ports["http"]), page("198.51.100.77"))

    def test_bad_control_requests_are_refused(self):
        self.assertEqual(control("GET", "/control/health"), (200, {"ok": True}))
        for path, body, status in [
                ("/control/address", "{nope", 400), ("/control/address", '{"address": 5}', 400),
                ("/control/nothing", "{}", 404), ("/control/version", "x" * 70000, 413),
                ("/control/accounts", '{"accounts": {"u": {}}}', 400),
                ("/control/script", '{"endpoint": "update", "times": 0}', 400),
                ("/control/script", '{"endpoint": "update", "body_hex": "zz"}', 400),
                ("/control/listen", json.dumps({"port": ports["control"], "enabled": False}), 400)]:
            self.assertEqual(control("POST", path, raw=body)[0], status, (path, body))
        self.assertEqual(checkip(ports["http"]), page("203.0.113.7"))


if __name__ == "__main__":
    unittest.main()
