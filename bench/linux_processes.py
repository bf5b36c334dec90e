"""What Linux knows of the processes a run involves: CPU time and peak resident memory from /proc.
Under Wine, a Windows program is one Linux process, and its peak working set is that process's
peak resident set (VmHWM), the figure Wine itself reports for it."""

from __future__ import annotations

import os
from pathlib import Path

TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")


def _stat_fields(pid: int) -> list[str]:
    text = Path(f"/proc/{pid}/stat").read_text()
    # The command name in parentheses may hold blanks; the fields after it are numbers.
    return text[text.rindex(")") + 2:].split()


def cpu_seconds(pid: int) -> float:
    """User and system time of every thread of the process so far."""
    fields = _stat_fields(pid)
    # utime and stime are the 14th and 15th fields of stat, counting the pid and the name.
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_SECOND


def peak_resident_bytes(pid: int) -> int:
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) * 1024
    raise RuntimeError(f"process {pid} reports no VmHWM")


def command_line(pid: int) -> list[str]:
    return Path(f"/proc/{pid}/cmdline").read_bytes().decode(errors="replace").split("\0")


def _environment(pid: int) -> dict[str, str]:
    entries = Path(f"/proc/{pid}/environ").read_bytes().decode(errors="replace").split("\0")
    return dict(entry.split("=", 1) for entry in entries if "=" in entry)


def _processes() -> list[int]:
    return [int(name) for name in os.listdir("/proc") if name.isdigit()]


def _name(pid: int) -> str:
    return Path(f"/proc/{pid}/comm").read_text().strip()


def find(name_prefix: str, parent: int | None = None, wine_prefix: Path | None = None) -> list[int]:
    """Processes whose name starts with name_prefix, optionally children of parent or started for
    the Wine prefix wine_prefix; processes that end meanwhile are passed over."""
    found = []
    for pid in _processes():
        try:
            if not _name(pid).startswith(name_prefix):
                continue
            if parent is not None and int(_stat_fields(pid)[1]) != parent:
                continue
            if wine_prefix is not None and _environment(pid).get("WINEPREFIX") != str(wine_prefix):
                continue
            found.append(pid)
        except (OSError, ValueError, IndexError):
            continue
    return found


class CpuMeter:
    """The CPU time that a set of processes spends between two readings (processes that are gone
    count nothing)."""

    def __init__(self, pids: list[int]) -> None:
        self.pids = pids
        self._start = self._now()

    def _now(self) -> dict[int, float]:
        readings = {}
        for pid in self.pids:
            try:
                readings[pid] = cpu_seconds(pid)
            except OSError:
                continue
        return readings

    def spent(self) -> float:
        now = self._now()
        return sum(now[pid] - self._start[pid] for pid in now if pid in self._start)
