"""Signer pins under Wine: the program built with "QorMavik Test Vendor" of the tests' signing
authority pinned for every package takes a stand-in signed by it, after the download, at start-up
and just before the start, and refuses one signed by another vendor, one whose bytes were changed
after signing, an unsigned one, one signed in the vendor's name by an authority that only the
user's root store holds, and one whose certificate the authority's revocation list names."""

from __future__ import annotations

import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.server import Package
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER
from e2e.test_download_road import BEHAVIOURS, INSTALL_ORDER, QUEUE, WINDOW, DownloadRoadCase, failed_line, local_path
from e2e.test_pinned_packages import NOT_VERIFIED, refused_at_its_start
from e2e.test_support_log import SupportLog


class SignerPins:
    # The support log's reader, without the support log's own tests.
    temp_folder = SupportLog.temp_folder
    log_lines = SupportLog.log_lines

    def setUp(self) -> None:
        super().setUp()
        signing = self.build.signing
        self.session.trust_authority(signing / "machine-ca.der")
        self.session.trust_authority(signing / "user-ca.der", user_only=True)
        self.signed = {name: (signing / "standins" / f"{name}.exe").read_bytes()
                       for name in ("vendor", "other-signer", "impostor", "tampered", "revoked", "checked")}
        self.session.configure_standins(BEHAVIOURS)

    def start(self, present: dict[str, bytes] | None = None):
        folder = self.session.program_folder(program=self.build.signing / PROGRAM)
        (folder / "mavikfiles").mkdir()
        for name, body in (present or {}).items():
            (folder / "mavikfiles" / name).write_bytes(body)
        return self.session.start_program(folder)

    def signature_lines(self) -> list[str]:
        return [line for line in self.log_lines() if line.startswith("Signature: ")]

    def test_packages_signed_by_the_pinned_vendor_are_downloaded_and_installed(self):
        served = {DOTNET: self.signed["vendor"], PDF_PRINTER: self.signed["vendor"],
                  # Its certificate names a revocation list that cannot be had, as when offline: it
                  # passes all the same. (Windows logs "revocation not checked" then; Wine reports
                  # such a certificate as checked, and only one that names no list as unchecked.)
                  MAIN_APP: self.signed["checked"]}
        for name, body in served.items():
            self.server.serve(name, body)
        run = self.start()
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, served)
        # Each package was checked after its download and again just before its start.
        checked = self.signature_lines()
        self.assertEqual(len(checked), 2 * len(QUEUE), checked)
        for line in checked:
            self.assertRegex(line, r'signed by "QorMavik Test Vendor" under the authority [0-9a-f]{64}, pinned'
                                   r'(; revocation not checked)?$')

    def test_another_vendor_a_changed_byte_and_no_signature_fail_the_download(self):
        self.server.serve(DOTNET, self.signed["other-signer"])
        self.server.serve(PDF_PRINTER, self.signed["tampered"])
        self.server.serve(MAIN_APP, self.standin)
        run = self.start()
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.wait_run_over(failed_line(local_path(run.folder, DOTNET), NOT_VERIFIED))
        self.assertEqual(self.session.standins_started(), [])
        self.assert_local_files(run.folder, {})
        # Each for its own reason: Wine's WinVerifyTrust tells a changed byte and a missing
        # signature from a good signature of another vendor.
        reasons = [line.split('": ', 1)[1] for line in self.signature_lines()]
        self.assertEqual(len(reasons), 3, reasons)
        self.assertRegex(reasons[0], r'^signed by "Another Test Vendor" under the authority [0-9a-f]{64}, not pinned')
        self.assertEqual(reasons[1], "the signature does not verify (0x80096010)")
        self.assertEqual(reasons[2], "not signed (0x800b0100)")

    def test_a_revoked_certificate_of_the_pinned_vendor_fails_the_download(self):
        # The list that both certificates name, fetched by the system through the prefix's proxy.
        revocations = (self.build.signing / "signing.crl").read_bytes()
        self.server.serve("signing.crl", Package(revocations, plain_http=True))
        self.server.serve(DOTNET, self.signed["vendor"])
        self.server.serve(PDF_PRINTER, self.signed["checked"])
        self.server.serve(MAIN_APP, self.signed["revoked"])
        run = self.start()
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.wait_run_over(failed_line(local_path(run.folder, MAIN_APP), NOT_VERIFIED))
        self.assertEqual(self.session.standins_started(), [])
        self.assert_local_files(run.folder, {DOTNET: self.signed["vendor"], PDF_PRINTER: self.signed["checked"]})
        self.assertIn("signing.crl", self.server.requested_names())
        reasons = [line.split('": ', 1)[1] for line in self.signature_lines()]
        self.assertEqual(len(reasons), 3, reasons)
        # A certificate that names no list passes unchecked; one the list does not name passes checked.
        self.assertTrue(reasons[0].endswith(", pinned; revocation not checked"), reasons[0])
        self.assertTrue(reasons[1].endswith(", pinned"), reasons[1])
        self.assertEqual(reasons[2], "a certificate of the signature is revoked (0x00000004)")

    def test_the_vendors_name_from_an_authority_only_the_user_trusts_counts_as_missing_at_start_up(self):
        for name in QUEUE:
            self.server.serve(name, self.signed["vendor"])
        run = self.start(dict.fromkeys(QUEUE, self.signed["impostor"]))
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.assertEqual(self.session.standins_started(), [], "nothing is installed before the download")
        self.assertIn("no root of the machine's store vouches for the signer", self.signature_lines()[0])
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assert_local_files(run.folder, dict.fromkeys(QUEUE, self.signed["vendor"]))

    def test_a_package_re_signed_by_another_vendor_after_its_download_is_refused_at_its_start(self):
        self.session.configure_standins({**BEHAVIOURS, DOTNET: "wait_ms=4000"})
        for name in QUEUE:
            self.server.serve(name, self.signed["vendor"])
        run = self.start()
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.driver.wait_for(lambda snapshot: DOTNET in self.session.standins_started(), "the first package to start",
                             60, PROGRAM)
        (run.folder / "mavikfiles" / MAIN_APP).write_bytes(self.signed["other-signer"])
        refused_at_its_start(self, run)


class SignerPins32(SignerPins, DownloadRoadCase):
    bits = 32


class SignerPins64(SignerPins, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
