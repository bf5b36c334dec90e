"""The loopback package server on its own, as a proxy client talks to it (no Wine needed)."""

import http.client
import socket
import ssl
import time
import unittest

from e2e.harness.builds import scratch_root
from e2e.harness.server import Package, PackageServer, error_page
from e2e.harness.tls import SERVER_HOST, certificates

BASE = "http://paketler.qormavik.test/"
URL = BASE + "qormavik/websetup/"
BODY = bytes(range(256)) * 40


class PackageServerTest(unittest.TestCase):
    """Plain http through the proxy, as a build with MAVIK_ALLOW_HTTP fetches."""

    def setUp(self):
        self.server = self.enterContext(PackageServer(BASE))
        self.connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        self.addCleanup(self.connection.close)

    def get(self, target):
        self.connection.request("GET", target)
        return self.connection.getresponse()

    def test_packages_are_served_by_name_over_one_kept_connection_and_logged_in_order(self):
        self.server.serve("PDFCreator.exe", BODY)
        self.server.serve("QorMavik64.exe", b"main")
        first = self.get(URL + "PDFCreator.exe")
        self.assertEqual((first.status, first.getheader("Content-Length"), first.read()), (200, str(len(BODY)), BODY))
        second = self.get("http://paketler.qormavik.test:80/qormavik/websetup/QorMavik64.exe")
        self.assertEqual(second.read(), b"main")
        self.assertEqual(self.server.requested_names(), ["PDFCreator.exe", "QorMavik64.exe"])

    def test_other_hosts_and_folders_are_refused_and_logged_without_a_name(self):
        self.server.serve("x.exe", BODY)
        for target in ("http://example.com/qormavik/websetup/x.exe", "http://paketler.qormavik.test/x.exe"):
            response = self.get(target)
            response.read()
            self.assertEqual(response.status, 502)
        self.assertEqual([(r.target, r.name) for r in self.server.requests],
                         [("http://example.com/qormavik/websetup/x.exe", None),
                          ("http://paketler.qormavik.test/x.exe", None)])

    def test_an_unknown_file_gets_a_404_page_with_its_own_length(self):
        response = self.get(URL + "missing.exe")
        page = response.read()
        self.assertEqual(response.status, 404)
        self.assertIn(b"Not Found", page)
        self.assertEqual(response.getheader("Content-Length"), str(len(page)))
        self.assertEqual(error_page().body, page)

    def test_without_content_length_the_body_ends_with_the_connection(self):
        self.server.serve("a.exe", Package(BODY, send_length=False))
        response = self.get(URL + "a.exe")
        self.assertIsNone(response.getheader("Content-Length"))
        self.assertEqual(response.read(), BODY)

    def test_a_declared_length_above_the_body_is_sent_and_the_connection_closes_early(self):
        for name, declared in (("short.exe", len(BODY) + 5000), ("huge.exe", 2147483648)):
            self.server.serve(name, Package(BODY, content_length=declared))
            connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
            connection.request("GET", URL + name)
            response = connection.getresponse()
            self.assertEqual(response.getheader("Content-Length"), str(declared))
            with self.assertRaises(http.client.IncompleteRead) as read:
                response.read()
            self.assertEqual(read.exception.partial, BODY)
            connection.close()

    def test_a_dropped_connection_delivers_only_the_first_bytes(self):
        self.server.serve("drop.exe", Package(BODY, drop_after=5000))
        response = self.get(URL + "drop.exe")
        received = b""
        with self.assertRaises((http.client.IncompleteRead, ConnectionResetError)):
            while chunk := response.read1(65536):
                received += chunk
            response.read()
        self.assertEqual(received, BODY[:5000])

    def test_a_throttled_body_takes_its_time_and_stopping_the_server_cuts_it(self):
        self.server.serve("slow.exe", Package(BODY, bytes_per_second=20000))
        started = time.monotonic()
        self.assertEqual(self.get(URL + "slow.exe").read(), BODY)
        self.assertGreater(time.monotonic() - started, 0.4)

        self.server.serve("slower.exe", Package(BODY * 100, bytes_per_second=1000))
        raw = socket.create_connection(("127.0.0.1", self.server.port))
        self.addCleanup(raw.close)
        raw.sendall(f"GET {URL}slower.exe HTTP/1.1\r\nHost: x\r\n\r\n".encode())
        raw.recv(100)
        started = time.monotonic()
        self.server.__exit__(None, None, None)
        self.assertLess(time.monotonic() - started, 5)


class TunnelTest(unittest.TestCase):
    """https: a CONNECT to the configured host opens a TLS tunnel with the server's certificate."""

    def setUp(self):
        self.certificates = certificates(scratch_root())
        self.server = self.enterContext(PackageServer(identity=self.certificates.trusted))
        self.server.serve("QorMavik64.exe", BODY)

    def tunnel(self, host: str = SERVER_HOST, port: int = 443) -> http.client.HTTPSConnection:
        context = ssl.create_default_context(cafile=self.certificates.authority)
        connection = http.client.HTTPSConnection("127.0.0.1", self.server.port, timeout=10, context=context)
        connection.set_tunnel(host, port)
        self.addCleanup(connection.close)
        return connection

    def test_no_tunnel_to_another_host_or_port_and_no_plain_http_for_an_https_root(self):
        for host, port in (("example.com", 443), (SERVER_HOST, 8443)):
            with self.assertRaises(OSError) as refused:
                self.tunnel(host, port).request("GET", "/qormavik/websetup/QorMavik64.exe")
            self.assertIn("502", str(refused.exception))
        plain = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        self.addCleanup(plain.close)
        plain.request("GET", URL + "QorMavik64.exe")
        self.assertEqual(plain.getresponse().status, 502)
        self.assertEqual(self.server.tunnels, [])
        self.assertEqual([r.name for r in self.server.requests], [None, None, None])


if __name__ == "__main__":
    unittest.main()
