"""The packages over https under Wine. The compiled-in root URL is https://paketler.qormavik.test/:
WinINet asks the prefix's proxy, the loopback server, for a tunnel to that host, and the server
answers TLS in it with a certificate for the host. The prefix trusts the tests' authority as a
machine trusts the real server's; a certificate of any other authority fails every transfer, also one
whose authority the user's own root store holds."""

from __future__ import annotations

import unittest

from e2e.harness.server import Tunnel
from e2e.harness.session import DOTNET
from e2e.harness.tls import SERVER_HOST
from e2e.test_download_road import (INSTALL_ORDER, QUEUE, DownloadRoadCase, failed_line,
                                    local_path)

NO_SECURE_CHANNEL = "güvenli bağlantı kurulamadı"


class Https:
    def test_the_whole_road_runs_through_tls_tunnels_to_the_compiled_in_host(self):
        self.serve_queue()
        run, _ = self.open_window()
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])

        self.assertEqual([(request.scheme, request.name) for request in self.server.requests],
                         [("https", name) for name in QUEUE])
        tunnels = self.server.tunnels
        self.assertTrue(tunnels, "no tunnel was asked for")
        self.assertEqual(set(tunnels), {Tunnel(f"{SERVER_HOST}:443", established=True)})
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))

    def test_a_certificate_of_an_authority_the_machine_does_not_trust_fails_every_transfer(self):
        self.server.identity = self.session.certificates.untrusted
        self.serve_queue()
        run, _ = self.open_window()
        self.click_button()
        # Each package is asked for through a tunnel of its own; the window then keeps the first
        # failure and installs nothing.
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), NO_SECURE_CHANNEL),
                           main_asked=lambda: len(self.server.tunnels) >= len(QUEUE))
        self.assertTrue(run.running)
        self.assertEqual(self.server.requests, [], "a request was made over a refused channel")
        # WinINet may finish the handshake and only then refuse the certificate, so the tunnels
        # tell only that each package was asked for, and the requests that none was sent.
        tunnels = self.server.tunnels
        self.assertGreaterEqual(len(tunnels), len(QUEUE), "a tunnel for every package")
        self.assertEqual({tunnel.target for tunnel in tunnels}, {f"{SERVER_HOST}:443"})
        self.assertEqual(self.session.standins_started(), [])
        self.assert_local_files(run.folder, {})

    def test_an_authority_that_only_the_users_root_store_holds_fails_every_transfer(self):
        # Any program of the user may put a root there, and WinINet takes it.
        self.session.trust_authority(self.session.certificates.untrusted_authority_der, user_only=True)
        self.server.identity = self.session.certificates.untrusted
        self.serve_queue()
        run, _ = self.open_window()
        self.click_button()
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), NO_SECURE_CHANNEL))
        self.assertTrue(run.running)
        # WinINet trusted the channel and sent each request; the program refused every answer, as
        # the machine's chain engine finds no root of the machine's store, before reading its body.
        self.assertEqual(set(self.server.requested_names()), set(QUEUE))
        self.assertEqual(self.session.standins_started(), [])
        self.assert_local_files(run.folder, {})


class Https32(Https, DownloadRoadCase):
    bits = 32


class Https64(Https, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
