"""scripts/check-server.sh against the end-to-end package server, healthy and misbehaving in the ways
that fail the program's transfers, over https through the server's own tunnel as the program asks."""

from __future__ import annotations

import hashlib
import os
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT))

from e2e.harness.packages import PACKAGES  # noqa: E402
from e2e.harness.server import DEFAULT_BASE_URL, Package, PackageServer  # noqa: E402
from e2e.harness.tls import certificates  # noqa: E402

DOTNET, PDF_PRINTER, MAIN32, MAIN64 = (package.name for package in PACKAGES)
BODY = bytes(range(256)) * 400
ETAG = '"v1"'
SIGNER = "QorMavik Test Vendor"


def healthy(body: bytes = BODY) -> Package:
    return Package(body, etag=ETAG)


class CheckServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        cls.scratch = Path(cls.enterClassContext(tempfile.TemporaryDirectory()))
        cls.certificates = certificates(cls.scratch)

    def setUp(self) -> None:
        self.server = self.enterContext(PackageServer(identity=self.certificates.trusted))

    def check(self, *options: str) -> tuple[int, dict[str, dict[str, bool]], str]:
        """The exit code, each package's checks (name: passed, with "fit" for the verdict) and the output."""
        result = subprocess.run([str(ROOT / "scripts" / "check-server.sh"), DEFAULT_BASE_URL,
                                 "--proxy", self.server.proxy_address, "--ca", str(self.certificates.authority),
                                 "--timeout", "10", *options], capture_output=True, text=True, timeout=120)
        verdicts: dict[str, dict[str, bool]] = {}
        for line in result.stdout.splitlines():
            if header := re.fullmatch(r"(\S+) \(https://\S+\)", line):
                current = verdicts.setdefault(header[1], {})
            elif check := re.fullmatch(r"  (ok  |FAIL)  ([^:]+): .*", line):
                current[check[2]] = check[1] == "ok  "
            elif line.strip() in ("fit", "NOT FIT"):
                current["fit"] = line.strip() == "fit"
        return result.returncode, verdicts, result.stdout + result.stderr

    def digest_list(self, bodies: dict[str, bytes], beside: dict[str, bytes] | None = None) -> str:
        """A sha256sum list in a folder of its own, with these packages beside it."""
        folder = Path(tempfile.mkdtemp(dir=self.scratch))
        for name, body in (beside or {}).items():
            (folder / name).write_bytes(body)
        listing = folder / "packages.sha256"
        listing.write_text("".join(f"{hashlib.sha256(body).hexdigest()}  {name}\n" for name, body in bodies.items()))
        return str(listing)

    def test_a_healthy_server_is_fit_and_its_packages_match_their_pins(self):
        for package in PACKAGES:
            self.server.serve(package.name, healthy())
        listing = self.digest_list(dict.fromkeys([DOTNET, MAIN64], BODY), beside={MAIN64: BODY})
        code, verdicts, output = self.check("--digests", listing)
        self.assertEqual(code, 0, output)
        self.assertEqual(set(verdicts), {package.name for package in PACKAGES}, output)
        for name, checks in verdicts.items():
            self.assertEqual(checks, dict.fromkeys(["HEAD", "GET", "validator", "Range", "digest", "fit"], True), name)
        self.assertIn("4 of 4 packages fit", output)
        # Each one as the program asks for it, and once more from its middle on.
        ranges = [request.range for request in self.server.requests if request.name == MAIN64]
        self.assertEqual(ranges, [None, None, f"bytes={len(BODY) // 2}-"])

    def test_a_server_that_breaks_transfers_or_resumes_is_unfit_for_those_packages(self):
        self.server.serve(DOTNET, Package(BODY, etag=ETAG, content_length=len(BODY) + 1000))
        self.server.serve(PDF_PRINTER, Package(BODY, etag=ETAG, honour_range=False))
        self.server.serve(MAIN32, Package(BODY, etag=ETAG, drop_after=50_000))
        self.server.serve(MAIN64, Package(BODY))
        code, verdicts, output = self.check()
        self.assertEqual(code, 1, output)
        failed = {name: sorted(check for check, ok in checks.items() if not ok) for name, checks in verdicts.items()}
        self.assertEqual(failed, {DOTNET: ["GET", "fit"], PDF_PRINTER: ["Range", "fit"], MAIN32: ["GET", "fit"],
                                  MAIN64: ["fit", "validator"]}, output)
        self.assertIn("0 of 4 packages fit", output)

    def test_missing_files_no_length_and_changed_content_are_unfit(self):
        changed = BODY[::-1]
        self.server.serve(DOTNET, healthy(changed))
        self.server.serve(MAIN32, Package(BODY, etag=ETAG, send_length=False))
        self.server.serve(MAIN64, healthy(BODY + b"!"))
        listing = self.digest_list(dict.fromkeys([DOTNET, MAIN64], BODY), beside={MAIN64: BODY})
        code, verdicts, output = self.check("--digests", listing)
        self.assertEqual(code, 1, output)
        failed = {name: sorted(check for check, ok in checks.items() if not ok) for name, checks in verdicts.items()}
        self.assertEqual(failed, {DOTNET: ["digest", "fit"], PDF_PRINTER: ["GET", "HEAD", "fit"],
                                  MAIN32: ["GET", "HEAD", "fit"], MAIN64: ["digest", "fit"]}, output)
        self.assertIn("404", output)

    def test_signer_pins_take_the_vendors_signature_only(self):
        build = Path(os.environ.get("MAVIK_E2E_WIN32_BUILD") or ROOT / "build" / "win32")
        signed = build / "e2e" / "tools" / "signer-pinned"
        self.assertTrue((signed / "standins" / "vendor.exe").is_file(),
                        f"no signed stand-ins in {signed}: build the win32 preset first")
        authority = hashlib.sha256((signed / "machine-ca.der").read_bytes()).hexdigest()
        listing = self.scratch / "packages.signers"
        listing.write_text("# the test vendor under the machine's test authority\n" + "".join(
            f"{authority}  {package.name}  {SIGNER}\n" for package in PACKAGES), encoding="utf-8")
        for name, standin in ((DOTNET, "vendor"), (PDF_PRINTER, "other-signer"), (MAIN32, "impostor"),
                              (MAIN64, "checked")):
            self.server.serve(name, healthy((signed / "standins" / f"{standin}.exe").read_bytes()))
        code, verdicts, output = self.check("--signers", str(listing))
        self.assertEqual(code, 1, output)
        self.assertEqual({name: checks.get("signer") for name, checks in verdicts.items()},
                         {DOTNET: True, PDF_PRINTER: False, MAIN32: False, MAIN64: True}, output)

    def test_a_malformed_pin_list_is_refused_before_any_request(self):
        listing = self.scratch / "bad.sha256"
        listing.write_text("not a digest  QorMavik64.exe\n")
        code, _, output = self.check("--digests", str(listing))
        self.assertEqual(code, 2, output)
        self.assertIn("line 1", output)
        self.assertEqual(self.server.requests, [])


if __name__ == "__main__":
    unittest.main()
