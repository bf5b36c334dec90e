"""The benchmark's table: Markdown, so that a run can go into the README as printed."""

from __future__ import annotations

import statistics
from dataclasses import dataclass

from .runs import Sample, Startup

MIB = 1024 * 1024
HUNDRED_MB = 100e6


@dataclass(frozen=True)
class Row:
    what: str
    samples: list[Sample]

    @property
    def speeds(self) -> list[float]:
        return [sample.mb_per_second for sample in self.samples]

    @property
    def median_speed(self) -> float:
        return statistics.median(self.speeds)

    def per_100_mb(self, seconds: list[float]) -> float:
        return statistics.median(spent / sample.bytes * HUNDRED_MB for spent, sample in zip(seconds, self.samples))

    def cells(self) -> list[str]:
        peaks = [sample.peak_working_set for sample in self.samples if sample.peak_working_set]
        return [self.what, f"{self.median_speed:.1f}", f"{min(self.speeds):.1f}–{max(self.speeds):.1f}",
                f"{statistics.median(sample.seconds for sample in self.samples):.2f}",
                f"{self.per_100_mb([sample.cpu_seconds for sample in self.samples]):.2f}",
                f"{self.per_100_mb([sample.helper_cpu_seconds for sample in self.samples]):.2f}",
                f"{max(peaks) / MIB:.1f}" if peaks else "–"]


HEADER = ["what", "MB/s median", "MB/s min–max", "s median", "CPU s / 100 MB", "wineserver + X CPU s / 100 MB",
          "peak working set MiB"]


def markdown(rows: list[list[str]], header: list[str]) -> str:
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def ratio(numerator: float, denominator: float) -> str:
    return f"{numerator / denominator:.2f}×"


def startup_figures(starts: list[Startup]) -> str:
    seconds = [start.seconds for start in starts]
    cpu = statistics.median(start.cpu_seconds for start in starts)
    return (f"{statistics.median(seconds):.3f} s ({min(seconds):.3f}–{max(seconds):.3f}), "
            f"CPU {cpu:.2f} s")


def report(program: Row, references: dict[str, Row], curl: Row,
           startup: dict[str, list[Startup]], flatness: dict[int, int], notes: list[str]) -> str:
    """references by short name: bare, naive, wide; startup: program and empty; flatness: peak
    working set by file size in bytes."""
    rows = [program, references["bare"], references["naive"], references["wide"], curl]
    speed = program.median_speed
    lines = [markdown([row.cells() for row in rows], HEADER), "",
                       f"Ratios of the medians: exe/bare {ratio(speed, references['bare'].median_speed)}, "
                       f"exe/naive {ratio(speed, references['naive'].median_speed)}, "
                       f"exe/64 KiB {ratio(speed, references['wide'].median_speed)}.", ""]
    program_start, empty_start = startup["program"], startup["empty"]
    median_ratio = ratio(statistics.median(start.seconds for start in program_start),
                         statistics.median(start.seconds for start in empty_start))
    lines.append(f"Start-up, process start to window shown ({len(program_start)} rounds, median (min–max), the "
                 f"started program's median CPU): exe {startup_figures(program_start)}, empty window program "
                 f"{startup_figures(empty_start)}; exe/empty {median_ratio}.")
    if flatness:
        sizes = sorted(flatness)
        peaks = ", ".join(f"{size // MIB} MiB file → {flatness[size] / MIB:.1f} MiB" for size in sizes)
        difference = (max(flatness.values()) - min(flatness.values())) / MIB
        lines.append(f"Peak working set of the exe by file size: {peaks} (spread {difference:.1f} MiB).")
    lines += [f"Note: {note}" for note in notes]
    return "\n".join(lines)
