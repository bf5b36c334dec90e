"""The download road through a proxy under Wine, as the machine's Internet settings name it: the
prefix's ProxyServer points at a loopback proxy (harness/proxy.py) in front of the package server.
A proxy that asks for no credentials carries the whole road. One that asks for Basic credentials
fails every transfer with a line of its own unless WinINet has credentials to send: Wine 8's WinINet
takes them only from a user:password in the http_proxy variable, which it reads only while the
Internet settings have no proxy enabled, and never from the user's credential store."""

from __future__ import annotations

import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.proxy import REALM, Proxy, basic_credentials
from e2e.harness.session import DOTNET
from e2e.harness.tls import SERVER_HOST
from e2e.harness.wine import PROXY_KEY
from e2e.test_download_road import (INSTALL_ORDER, QUEUE, WINDOW, DownloadRoadCase, failed_line,
                                    local_path)

PROXY_CREDENTIALS_NEEDED = "proxy kimlik doğrulaması gerekiyor"
CREDENTIALS = ("mavik", "Gizli-Parola")
TUNNEL = f"CONNECT {SERVER_HOST}:443"


class Proxies:
    def proxy(self, credentials: tuple[str, str] | None = None) -> Proxy:
        """A proxy in front of the package server, named by the prefix's Internet settings."""
        proxy = self.enterContext(Proxy(("127.0.0.1", self.server.port), credentials))
        self.session.prefix.use_proxy(proxy.address)
        return proxy

    def tunnels_asked(self, proxy: Proxy) -> list[str]:
        return [f"{request.method} {request.target}" for request in proxy.requests]

    def test_a_proxy_without_credentials_carries_the_whole_road(self):
        proxy = self.proxy()
        self.serve_queue()
        run, _ = self.open_window()
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])

        self.assertEqual(self.server.requested_names(), QUEUE)
        # The server saw no tunnel that the proxy did not ask it for.
        self.assertTrue(proxy.requests, "the proxy saw no request")
        self.assertEqual(set(self.tunnels_asked(proxy)), {TUNNEL})
        self.assertEqual(len(proxy.requests), len(self.server.tunnels))
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.standin))

    def test_a_proxy_asking_for_credentials_that_wininet_lacks_fails_every_transfer_with_its_own_line(self):
        proxy = self.proxy(CREDENTIALS)
        # Saved as Windows saves what a user typed into WinINet's own dialog for this proxy: Wine's
        # WinINet never looks there.
        self.driver.store_credential(f"Microsoft_WinInet_{proxy.address}/{REALM}", *CREDENTIALS)
        self.serve_queue()
        run, _ = self.open_window()
        self.click_button()
        # One request per package, none tried again: the proxy will not change its mind.
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), PROXY_CREDENTIALS_NEEDED),
                           main_asked=lambda: len(proxy.requests) >= len(QUEUE))
        self.assertTrue(run.running)
        self.assertEqual(self.tunnels_asked(proxy), [TUNNEL] * len(QUEUE))
        self.assertEqual([request.credentials for request in proxy.requests], [None] * len(QUEUE))
        self.assertEqual((self.server.tunnels, self.server.requests), ([], []))
        shown = [window.title for window in self.driver.snapshot().find(exe=PROGRAM, visible=True)]
        self.assertEqual(shown, [WINDOW], "a dialog asked for credentials")
        self.assertEqual(self.session.standins_started(), [])
        self.assert_local_files(run.folder, {})

    def test_credentials_that_wininet_holds_for_the_proxy_are_sent_without_a_dialog(self):
        proxy = self.proxy(CREDENTIALS)
        self.session.prefix.set_value(PROXY_KEY, "ProxyEnable", 0)
        user, password = CREDENTIALS
        self.serve_queue()
        folder = self.session.program_folder()
        run = self.session.start_program(folder, {"http_proxy": f"http://{user}:{password}@{proxy.address}"})
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])

        self.assertEqual(self.server.requested_names(), QUEUE)
        admitted = [request for request in proxy.requests if request.admitted]
        self.assertEqual(len(admitted), len(self.server.tunnels))
        self.assertEqual({request.credentials for request in admitted}, {basic_credentials(*CREDENTIALS)})
        self.assertEqual(set(self.tunnels_asked(proxy)), {TUNNEL})
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)


class Proxies32(Proxies, DownloadRoadCase):
    bits = 32


class Proxies64(Proxies, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
