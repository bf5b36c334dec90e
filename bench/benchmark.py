"""How fast the program downloads under Wine, next to reference loops in the same prefix.

    /usr/bin/python3 -m bench.benchmark [MavikSetupWebCD.exe] [--size MiB] [--rounds N]

Serves a random file of --size MiB as the .NET package from nginx on loopback, then alternates,
round by round: the program from the click on İndir&Kur to the file under its final name, a bare
4096-byte WinINet read/WriteFile loop, the same loop with a naive per-chunk display, a 64 KiB-read
loop, and curl. Then start-ups (process start to window shown, against an empty window program)
and the program's peak working set for each of --flat-sizes. Prints a Markdown table."""

from __future__ import annotations

import argparse
import datetime
import os
import platform
import statistics
import sys
from pathlib import Path

from e2e.harness.builds import PROGRAM, REPOSITORY, Build, bits_of, scratch_root
from e2e.harness.session import Session
from e2e.harness.loaders import QEMU, can_run, loader, route
from e2e.harness.wine import Xvfb, wine_version

from .nginx import HOST, Nginx, nginx_version
from .report import MIB, Row, report
from .runs import Runs, Startup

# What the benchmark returns when it measured nothing, on purpose.
SKIPPED = 77
LOOPS = {"bare": "bare 4096-byte loop", "naive": "naive display loop, 4096 bytes", "wide": "65536-byte loop"}


def arguments() -> argparse.Namespace:
    parser = argparse.ArgumentParser(prog="python3 -m bench.benchmark", description=__doc__.split("\n\n")[0])
    parser.add_argument("program", nargs="?", type=Path, default=REPOSITORY / "build" / "win64" / PROGRAM,
                        help=f"the {PROGRAM} to measure (default: build/win64/{PROGRAM})")
    parser.add_argument("--build", type=Path,
                        help="build folder holding e2e/tools and bench/tools (default: build/win32 or "
                             "build/win64 of this tree, after the program's bitness)")
    parser.add_argument("--size", type=int, default=64, help="MiB of the .NET package (default 64)")
    parser.add_argument("--rounds", type=int, default=3, help="rounds of the transfers (default 3, at least 3)")
    parser.add_argument("--startup-rounds", type=int, default=5, help="rounds of the start-ups (default 5)")
    parser.add_argument("--flat-sizes", default="16,256",
                        help="MiB sizes for the peak working set check, comma-separated; empty: none")
    options = parser.parse_args()
    if options.rounds < 3:
        parser.error("--rounds must be at least 3")
    return options


def compiled_scheme(program: Path) -> str:
    """http or https: how the program reaches the one host that the benchmark's server answers."""
    data = program.read_bytes()
    for scheme in ("https", "http"):
        if f"{scheme}://{HOST}/".encode("utf-16-le") in data:
            return scheme
    raise SystemExit(f"{program} does not fetch from http(s)://{HOST}/, the host the benchmark serves; "
                     "build it with the default MAVIK_BASE_URL")


def say(text: str) -> None:
    print(text, file=sys.stderr, flush=True)


def machine(bits: int) -> str:
    model = next((line.split(":", 1)[1].strip() for line in Path("/proc/cpuinfo").read_text().splitlines()
                  if line.startswith("model name")), "unknown processor")
    return (f"{len(os.sched_getaffinity(0))} processors (nproc) of {model}, Linux {platform.release()}, "
            f"{wine_version()} (loader {loader(bits)}), {nginx_version()}")


def load() -> str:
    return " ".join(f"{value:.2f}" for value in os.getloadavg())


def measure(options: argparse.Namespace, runs: Runs) -> str:
    size = options.size * MIB
    runs.serve(size)
    kinds = ["program", *LOOPS, "curl"]
    samples: dict[str, list] = {kind: [] for kind in kinds}
    for round_number in range(options.rounds):
        # A different order each round, so that a drift of the machine does not favour one kind.
        shift = round_number % len(kinds)
        for kind in kinds[shift:] + kinds[:shift]:
            sample = runs.program() if kind == "program" else runs.curl() if kind == "curl" else runs.loop(kind)
            samples[kind].append(sample)
            say(f"round {round_number + 1} {kind}: {sample.mb_per_second:.1f} MB/s, {sample.seconds:.2f} s")
    startup: dict[str, list[Startup]] = {"program": [], "empty": []}
    # The first start of each warms the prefix (WMI, fonts, the disk cache) and is not counted.
    for round_number in range(options.startup_rounds + 1):
        for kind in startup:
            start = runs.startup(empty=kind == "empty")
            if round_number:
                startup[kind].append(start)
            say(f"start-up {round_number or 'warm-up'} {kind}: {start.seconds:.3f} s, CPU {start.cpu_seconds:.2f} s")
    flatness = {}
    for mib in [int(text) for text in options.flat_sizes.split(",") if text.strip()]:
        runs.serve(mib * MIB)
        sample = runs.program()
        flatness[mib * MIB] = sample.peak_working_set
        say(f"{mib} MiB: {sample.mb_per_second:.1f} MB/s, peak working set {sample.peak_working_set / MIB:.1f} MiB")
    return report(Row(f"{PROGRAM}, click to file", samples["program"]),
                  {kind: Row(what, samples[kind]) for kind, what in LOOPS.items()},
                  Row("curl through the same proxy, to a file", samples["curl"]), startup, flatness,
                  runs.notes)


def main() -> int:
    options = arguments()
    program = options.program.resolve()
    bits = bits_of(program)
    folder = (options.build or REPOSITORY / "build" / f"win{bits}").resolve()
    build = Build(bits, program, folder / "e2e" / "tools")
    build.require()
    if not can_run(bits):
        raise SystemExit(f"this machine cannot run {bits}-bit programs under Wine "
                         "(python3 -m e2e.harness.loaders says why)")
    if bits == 32 and route().name == QEMU:
        # Exit code 77 tells bench/run.sh that this is a skip, not a failure.
        print(f"Not measured: the 32-bit exe runs here only under qemu-i386 ({route().why}), so its "
              "figures would be qemu's emulation of every instruction, not the program's.", file=sys.stderr)
        return SKIPPED
    scheme = compiled_scheme(program)
    scratch = scratch_root()
    started = datetime.datetime.now(datetime.timezone.utc)
    load_before = load()
    say(f"Measuring {program} ({bits}-bit, {scheme}), {options.size} MiB, {options.rounds} rounds.")
    with Xvfb() as screen, Session(build, scratch / "bench" / "run", screen.display, scratch) as session, \
            Nginx(scratch / "bench" / "nginx", session.certificates.trusted) as nginx:
        session.prefix.use_proxy(nginx.proxy_address(scheme))
        table = measure(options, Runs(session, nginx, folder / "bench" / "tools", scheme))
    heading = [f"Download benchmark, {started:%Y-%m-%d %H:%M} UTC: {program} ({bits}-bit), "
               f"a {options.size} MiB file over {scheme} from nginx on loopback, {options.rounds} rounds.",
               f"Machine: {machine(bits)}; load average {load_before} before, {load()} after."]
    print("\n".join(heading) + "\n\n" + table)
    return 0


if __name__ == "__main__":
    sys.exit(main())
