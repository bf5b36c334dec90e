"""Certificates for the https road: a throwaway authority that every test prefix trusts, and one that
none does, each with a server certificate for the package server's host. Made with openssl once per
scratch folder (about a second) and kept there; nothing of them is secret."""

from __future__ import annotations

import fcntl
import secrets
import ssl
import subprocess
from dataclasses import dataclass
from pathlib import Path

from .wine import command

# WinINet takes a server certificate only when the URL's host is a DNS name in its
# subjectAltName; an IP address there is not enough (seen under Wine 8).
SERVER_HOST = "paketler.qormavik.test"


@dataclass(frozen=True)
class ServerIdentity:
    """A server certificate and its key, as the package server presents them."""

    certificate: Path
    key: Path

    def server_context(self) -> ssl.SSLContext:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(self.certificate, self.key)
        return context


@dataclass(frozen=True)
class Certificates:
    authority: Path  # PEM of the trusted authority, for Python clients
    authority_der: Path  # the same in DER, as the prefix's root store takes it
    trusted: ServerIdentity  # signed by the trusted authority
    untrusted: ServerIdentity  # signed by an authority no prefix knows
    untrusted_authority_der: Path  # that authority, for a test that puts it into the user's store


def _openssl(*arguments: str, folder: Path) -> None:
    result = subprocess.run([command("openssl"), *arguments], cwd=folder, capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise RuntimeError(f"openssl {' '.join(arguments)} failed: {result.stderr.strip()}")


def _authority(name: str, folder: Path) -> None:
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout", f"{name}.key",
             "-out", f"{name}.pem", "-subj", f"/CN=MavikSetupWebCD {name} test authority",
             "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
             folder=folder)


def _server(name: str, authority: str, folder: Path) -> ServerIdentity:
    extensions = folder / f"{name}.ext"
    extensions.write_text(f"subjectAltName=DNS:{SERVER_HOST}\nbasicConstraints=CA:FALSE\n"
                          "keyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n")
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr",
             "-subj", f"/CN={SERVER_HOST}", folder=folder)
    _openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{authority}.pem", "-CAkey", f"{authority}.key",
             "-set_serial", str(secrets.randbits(63)), "-days", "825", "-extfile", extensions.name,
             "-out", f"{name}.pem", folder=folder)
    return ServerIdentity(folder / f"{name}.pem", folder / f"{name}.key")


def certificates(root: Path) -> Certificates:
    """The certificates under root/tls, made on first use."""
    folder = root / "tls"
    done = folder / "complete"
    made = Certificates(folder / "trusted.pem", folder / "trusted.der",
                                    ServerIdentity(folder / "server.pem", folder / "server.key"),
                                    ServerIdentity(folder / "rogue-server.pem", folder / "rogue-server.key"),
                                    folder / "rogue.der")
    folder.mkdir(parents=True, exist_ok=True)
    with open(root / "tls.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        # A folder made before the untrusted authority was kept in DER is made again.
        if not (done.is_file() and made.untrusted_authority_der.is_file()):
            _authority("trusted", folder)
            _openssl("x509", "-in", "trusted.pem", "-outform", "DER", "-out", "trusted.der", folder=folder)
            _server("server", "trusted", folder)
            _authority("rogue", folder)
            _openssl("x509", "-in", "rogue.pem", "-outform", "DER", "-out", "rogue.der", folder=folder)
            _server("rogue-server", "rogue", folder)
            done.write_text(SERVER_HOST)
    return made
