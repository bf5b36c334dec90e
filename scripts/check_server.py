"""Asks a package server for every package the program knows, the way the program asks, and says
for each one whether the program can fetch it: scripts/check-server.sh describes the checks."""

from __future__ import annotations

import argparse
import hashlib
import http.client
import re
import socket
import ssl
import subprocess
import sys
import tempfile
import urllib.parse
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from e2e.harness.packages import PACKAGES  # noqa: E402 (the program's own table, read from setup/Packages.h)

FOLDER = "qormavik/websetup/"
# The program takes no file of 2 GiB or more: its sizes are 32-bit.
SIZE_LIMIT = 2**31 - 1
MAX_REDIRECTS = 10
BLOCK = 64 * 1024
DIGEST_LINE = re.compile(r"^([0-9A-Fa-f]{64}) [ *](.+)$")
SIGNER_LINE = re.compile(r"^([0-9A-Fa-f]{64})  (\S+)  (.+)$")


class Unfit(Exception):
    """A check that failed, with what the server did."""


@dataclass
class Pins:
    digests: dict[str, str] = field(default_factory=dict)
    sizes: dict[str, int] = field(default_factory=dict)
    # (issuing authority's SHA-256, signer's common name) per package.
    signers: dict[str, list[tuple[str, str]]] = field(default_factory=dict)


def read_pins(digests: Path | None, signers: Path | None) -> Pins:
    """The lists in the build's formats: sizes come from the packages lying beside the digest list."""
    pins = Pins()
    for path, pattern in ((digests, DIGEST_LINE), (signers, SIGNER_LINE)):
        if path is None:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            if not line.strip() or (path == signers and line.lstrip().startswith("#")):
                continue
            match = pattern.match(line.rstrip("\r"))
            if not match:
                raise ValueError(f"{path}, line {number}: not a pin line: {line!r}")
            if path == digests:
                pins.digests[match[2]] = match[1].lower()
                beside = path.parent / match[2]
                if beside.is_file():
                    pins.sizes[match[2]] = beside.stat().st_size
            else:
                pins.signers.setdefault(match[2], []).append((match[1].lower(), match[3]))
    return pins


class Server:
    """Opens each request on a connection of its own, directly or through an http proxy."""

    def __init__(self, proxy: str | None, authority: Path | None, timeout: float) -> None:
        self.proxy = proxy
        self.context = ssl.create_default_context(cafile=str(authority) if authority else None)
        self.timeout = timeout

    def ask(self, method: str, url: str, headers: dict[str, str]) -> tuple[str, http.client.HTTPResponse]:
        """The answer after the redirects, as the program follows them, and the URL that gave it."""
        for _ in range(MAX_REDIRECTS + 1):
            response = self._open(method, url, headers)
            location = response.getheader("Location")
            if response.status not in (301, 302, 303, 307, 308) or not location:
                return url, response
            response.close()
            target = urllib.parse.urljoin(url, location)
            if url.lower().startswith("https:") and not target.lower().startswith("https:"):
                raise Unfit(f"{url} redirects to {target}, which leaves https: the program refuses that")
            url = target
        raise Unfit(f"more than {MAX_REDIRECTS} redirects")

    def _open(self, method: str, url: str, headers: dict[str, str]) -> http.client.HTTPResponse:
        parts = urllib.parse.urlsplit(url)
        secure = parts.scheme == "https"
        port = parts.port or (443 if secure else 80)
        target = parts.path + (f"?{parts.query}" if parts.query else "")
        if self.proxy:
            host, _, proxy_port = self.proxy.rpartition(":")
            if secure:
                connection = http.client.HTTPSConnection(host, int(proxy_port), timeout=self.timeout,
                                                         context=self.context)
                connection.set_tunnel(parts.hostname, port)
            else:
                connection = http.client.HTTPConnection(host, int(proxy_port), timeout=self.timeout)
                target = url
        elif secure:
            connection = http.client.HTTPSConnection(parts.hostname, port, timeout=self.timeout, context=self.context)
        else:
            connection = http.client.HTTPConnection(parts.hostname, port, timeout=self.timeout)
        try:
            connection.request(method, target, headers=headers)
            return connection.getresponse()
        except (OSError, http.client.HTTPException) as error:
            raise Unfit(f"{method} {url}: {error or type(error).__name__}") from error


@dataclass
class Body:
    length: int
    digest: str
    # The digest of the bytes from the range's first byte on, to compare the 206 answer with.
    rest_digest: str


def read_body(response: http.client.HTTPResponse, declared: int, rest_from: int, keep: Path | None) -> Body:
    whole, rest = hashlib.sha256(), hashlib.sha256()
    received = 0
    with open(keep, "wb") if keep else open("/dev/null", "wb") as sink:
        while True:
            try:
                block = response.read1(BLOCK)
            except (OSError, http.client.HTTPException) as error:
                raise Unfit(f"the connection broke after {received} of {declared} bytes ({error!r})") from error
            if not block:
                break
            whole.update(block)
            skip = max(0, rest_from - received)
            rest.update(block[skip:])
            received += len(block)
            sink.write(block)
    return Body(received, whole.hexdigest(), rest.hexdigest())


def content_length(response: http.client.HTTPResponse, what: str) -> int:
    text = response.getheader("Content-Length")
    if text is None or not text.strip().isdigit():
        raise Unfit(f"{what} has no usable Content-Length ({text!r}): the program needs it")
    value = int(text)
    if value > SIZE_LIMIT:
        raise Unfit(f"{what}: Content-Length {value} is 2 GiB or more: the program takes no such file")
    return value


def validator(etag: str | None, last_modified: str | None) -> str:
    """What the program sends as If-Range: a strong ETag, else Last-Modified."""
    if etag and not etag.startswith("W/"):
        return etag
    if last_modified:
        return last_modified
    raise Unfit(f"neither a strong ETag ({etag!r}) nor a Last-Modified: a file replaced between a break and "
                "its resume cannot be told apart")


def certificate_facts(pem: str) -> tuple[str, str, str]:
    """A certificate's subject and issuer (one line each) and its SHA-256 thumbprint."""
    names = subprocess.run(["openssl", "x509", "-noout", "-subject", "-issuer", "-nameopt", "RFC2253"],
                           input=pem, capture_output=True, text=True, check=True).stdout.splitlines()
    der = subprocess.run(["openssl", "x509", "-outform", "DER"], input=pem.encode(), capture_output=True,
                         check=True).stdout
    subject = names[0].removeprefix("subject=").strip()
    issuer = names[1].removeprefix("issuer=").strip()
    return subject, issuer, hashlib.sha256(der).hexdigest()


def common_name(rfc2253: str) -> str | None:
    match = re.search(r"(?:^|,)CN=((?:\\.|[^,\\])*)", rfc2253)
    return re.sub(r"\\(.)", r"\1", match[1]) if match else None


def check_signers(file: Path, pinned: list[tuple[str, str]]) -> str:
    """Whether a certificate of the file's signature carries a pinned name under a certificate with
    the pinned thumbprint. The chain's trust, revocation and the file's digest are Windows' to check."""
    signature = file.with_suffix(".sig.pem")
    extracted = subprocess.run(["osslsigncode", "extract-signature", "-pem", "-in", str(file), "-out",
                                str(signature)], capture_output=True, text=True)
    if extracted.returncode != 0:
        raise Unfit("no Authenticode signature could be read")
    chain = subprocess.run(["openssl", "pkcs7", "-in", str(signature), "-print_certs"], capture_output=True,
                           text=True, check=True).stdout
    certificates = [certificate_facts(pem) for pem in re.findall(
        r"-----BEGIN CERTIFICATE-----.+?-----END CERTIFICATE-----\n", chain, re.DOTALL)]
    by_subject = {subject: thumbprint for subject, _, thumbprint in certificates}
    for subject, issuer, thumbprint in certificates:
        issued_by = thumbprint if subject == issuer else by_subject.get(issuer)
        for authority, name in pinned:
            if common_name(subject) == name and issued_by == authority:
                return f"{name}, issued by the pinned authority {authority[:16]}…"
    found = ", ".join(f"{common_name(subject)} (issued by {common_name(issuer)})" for subject, issuer, _ in certificates)
    raise Unfit(f"no pinned signer among the signature's certificates: {found}")


@dataclass
class Report:
    name: str
    url: str
    lines: list[tuple[bool, str, str]] = field(default_factory=list)

    @property
    def fit(self) -> bool:
        return all(ok for ok, _, _ in self.lines)

    def check(self, what: str, step) -> object:
        """Runs one step; its answer is the line's text, or its Unfit is a failed line."""
        try:
            detail = step()
        except Unfit as unfit:
            self.lines.append((False, what, str(unfit)))
            return None
        self.lines.append((True, what, detail))
        return detail


def check_package(server: Server, base_url: str, name: str, pins: Pins, scratch: Path) -> Report:
    report = Report(name, base_url + FOLDER + name)
    facts: dict[str, object] = {}

    def head() -> str:
        url, response = server.ask("HEAD", report.url, {})
        response.close()
        if response.status != 200:
            raise Unfit(f"HEAD answered {response.status} {response.reason} (from {url})")
        facts["head_length"] = content_length(response, "the HEAD answer")
        return f"200, Content-Length {facts['head_length']}"

    def get() -> str:
        url, response = server.ask("GET", report.url, {})
        if not 200 <= response.status < 300:
            response.close()
            raise Unfit(f"GET answered {response.status} {response.reason} (from {url}): "
                        "the program fails the file with this status")
        declared = content_length(response, "the GET answer")
        facts["headers"] = (response.getheader("ETag"), response.getheader("Last-Modified"))
        facts["from"] = declared // 2
        keep = scratch / name if name in pins.signers else None
        body = read_body(response, declared, facts["from"], keep)
        response.close()
        if body.length != declared:
            raise Unfit(f"Content-Length {declared}, but {body.length} bytes came: "
                        "the program fails the file (\"dosya boyu tutmuyor\" or \"bağlantı kesildi\")")
        if facts.get("head_length") not in (None, declared):
            raise Unfit(f"HEAD says Content-Length {facts['head_length']}, GET {declared}")
        facts["body"] = body
        return f"{response.status}, {declared} bytes as announced"

    def resume() -> str:
        body: Body = facts["body"]
        start = facts["from"]
        headers = {"Range": f"bytes={start}-"}
        if "validator" in facts:
            headers["If-Range"] = facts["validator"]
        _, response = server.ask("GET", report.url, headers)
        expected = f"bytes {start}-{body.length - 1}/{body.length}"
        got = response.getheader("Content-Range")
        if response.status != 206 or got != expected:
            response.close()
            raise Unfit(f"bytes={start}- answered {response.status} with Content-Range {got or 'none'}, "
                        f"not 206 with {expected}: a broken transfer cannot go on where it stopped")
        rest = read_body(response, body.length - start, 0, None)
        response.close()
        if rest.digest != body.rest_digest:
            raise Unfit("the 206 answer's bytes differ from the same bytes of the whole file")
        return f"206, {expected}, the same bytes as the whole file"

    def digest() -> str:
        body: Body = facts["body"]
        if name not in pins.digests:
            return f"SHA-256 {body.digest} (not pinned by digest)"
        if body.digest != pins.digests[name]:
            raise Unfit(f"SHA-256 {body.digest}, but the pin is {pins.digests[name]}")
        if name in pins.sizes and body.length != pins.sizes[name]:
            raise Unfit(f"{body.length} bytes, but the pin is {pins.sizes[name]}")
        return f"SHA-256 {body.digest} as pinned"

    report.check("HEAD", head)
    if report.check("GET", get) is not None:
        if (found := report.check("validator", lambda: validator(*facts["headers"]))) is not None:
            facts["validator"] = found
        report.check("Range", resume)
        report.check("digest", digest)
        if name in pins.signers:
            report.check("signer", lambda: check_signers(scratch / name, pins.signers[name]))
    return report


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("url", help="the program's root URL (MAVIK_BASE_URL), ending in /")
    parser.add_argument("--digests", type=Path, help="the build's digest list (MAVIK_PACKAGE_DIGESTS)")
    parser.add_argument("--signers", type=Path, help="the build's signer list (MAVIK_PACKAGE_SIGNERS)")
    parser.add_argument("--proxy", help="host:port of an http proxy to ask through (a staging proxy)")
    parser.add_argument("--ca", type=Path, help="PEM of an authority to trust besides the system's")
    parser.add_argument("--timeout", type=float, default=60, help="seconds to wait for a byte (default 60)")
    arguments = parser.parse_args()
    if not re.match(r"^https?://[^/]+(/.*)?/$", arguments.url):
        parser.error(f"the URL must be http(s)://<host>/… ending in /, got {arguments.url!r}")
    try:
        pins = read_pins(arguments.digests, arguments.signers)
    except (OSError, ValueError) as error:
        parser.error(str(error))
    server = Server(arguments.proxy, arguments.ca, arguments.timeout)
    socket.setdefaulttimeout(arguments.timeout)
    reports = []
    with tempfile.TemporaryDirectory(prefix="check-server-") as scratch:
        for package in PACKAGES:
            report = check_package(server, arguments.url, package.name, pins, Path(scratch))
            reports.append(report)
            print(f"{report.name} ({report.url})")
            for ok, what, detail in report.lines:
                print(f"  {'ok  ' if ok else 'FAIL'}  {what}: {detail}")
            print(f"  {'fit' if report.fit else 'NOT FIT'}\n", flush=True)
    fit = sum(report.fit for report in reports)
    print(f"{fit} of {len(reports)} packages fit" + ("" if fit == len(reports) else
          ": the program would fail or fetch again those marked NOT FIT"))
    return 0 if fit == len(reports) else 1


if __name__ == "__main__":
    sys.exit(main())
