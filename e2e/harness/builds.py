"""Where the cross-built program and the helper programs are, and where the tests may write."""

from __future__ import annotations

import os
from dataclasses import dataclass
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[2]
PROGRAM = "MavikSetupWebCD.exe"


@dataclass(frozen=True)
class Build:
    """The program of one bitness and the helper programs built with it."""

    bits: int
    program: Path
    tools: Path

    @classmethod
    def in_folder(cls, bits: int, folder: Path) -> Build:
        """A cross-build folder: the program at its top, the helper programs under e2e/tools."""
        return cls(bits, folder / PROGRAM, folder / "e2e" / "tools")

    @property
    def driver(self) -> Path:
        return self.tools / "mavik_driver.exe"

    @property
    def standin(self) -> Path:
        return self.tools / "mavik_standin.exe"

    @property
    def standin_importing(self) -> Path:
        """The stand-in that imports mavik_planted.dll, a DLL that no system folder holds."""
        return self.tools / "mavik_standin_importing.exe"

    @property
    def quick_stall_program(self) -> Path:
        """The program built with a stall timeout short enough for a test to wait for."""
        return self.tools / "quick-stall" / PROGRAM

    @property
    def quick_stall_seconds(self) -> float:
        return float((self.tools / "quick-stall" / "stall-timeout-seconds").read_text())

    @property
    def planted(self) -> Path:
        return self.tools / "mavik_planted.dll"

    @property
    def trust_tool(self) -> Path:
        return self.tools / "mavik_trust_ca.exe"

    @property
    def pinned_program(self) -> Path:
        """The program built once more with the stand-in's digest pinned under every package name."""
        return self.tools / "pinned" / PROGRAM

    @property
    def signing(self) -> Path:
        """The signer-pinned program's folder: MavikSetupWebCD.exe, pinned to "QorMavik Test Vendor"
        under the authority machine-ca.der for every package; standins/vendor.exe, other-signer.exe,
        impostor.exe (the vendor's name under user-ca.der), tampered.exe (vendor.exe with a byte
        changed), revoked.exe and checked.exe (the vendor's, with certificates that name the
        revocation list signing.crl of the package server's folder, which revokes the first)."""
        return self.tools / "signer-pinned"

    def missing(self) -> list[Path]:
        wanted = (self.program, self.driver, self.standin, self.standin_importing, self.planted, self.trust_tool,
                  self.pinned_program, self.quick_stall_program, self.signing / PROGRAM)
        return [path for path in wanted if not path.is_file()]

    def require(self) -> None:
        missing = self.missing()
        if missing:
            preset = f"win{self.bits}"
            raise AssertionError(
                f"the {self.bits}-bit build is incomplete, missing: {', '.join(map(str, missing))}; "
                f"build it with: cmake --preset {preset} -B <folder> && cmake --build <folder> -j2"
            )


def build(bits: int) -> Build | None:
    """The build named by MAVIK_E2E_WIN32_BUILD / MAVIK_E2E_WIN64_BUILD, else the preset's folder;
    None when the variable is set but empty (no build of that bitness is configured)."""
    folder = os.environ.get(f"MAVIK_E2E_WIN{bits}_BUILD", str(REPOSITORY / "build" / f"win{bits}"))
    return Build.in_folder(bits, Path(folder).resolve()) if folder else None


def bits_of(executable: Path) -> int:
    """32 or 64, from the machine field of the executable's PE header."""
    data = executable.read_bytes()[:4096]
    header = int.from_bytes(data[0x3C:0x40], "little")
    if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
        raise ValueError(f"{executable} is not a Windows executable")
    machine = int.from_bytes(data[header + 4:header + 6], "little")
    return {0x14C: 32, 0x8664: 64}[machine]


def scratch_root() -> Path:
    """MAVIK_E2E_SCRATCH, else build/e2e-scratch: the template prefix and one folder per run."""
    root = Path(os.environ.get("MAVIK_E2E_SCRATCH") or REPOSITORY / "build" / "e2e-scratch").resolve()
    root.mkdir(parents=True, exist_ok=True)
    return root
