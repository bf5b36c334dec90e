"""Shows the program's whole download road on a fresh Wine machine, with stand-in packages served
from the loopback server.

    /usr/bin/python3 -m e2e.demo <path to MavikSetupWebCD.exe> [--screenshot download.png]

With $DISPLAY set, the program runs there and waits for you to click İndir&Kur. Without it, the
demo runs under its own Xvfb, clicks the button itself and saves a screenshot of the window
during the download when --screenshot names a file."""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
from pathlib import Path
from types import SimpleNamespace

from e2e.harness.builds import PROGRAM, Build, bits_of, scratch_root
from e2e.harness.driver import Driver, Window
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, Session
from e2e.harness.wine import Xvfb

BEHAVIOURS = {
    DOTNET: "window=1 wait_ms=800",
    MAIN_APP: "window=1 marker=1 wait_ms=1200",
    PDF_PRINTER: "window=1 wait_ms=800",
}
# Slow enough that each transfer can be watched for about two seconds.
BYTES_PER_SECOND = 320 * 1024
BUTTON_SIZE = (156, 51)


def arguments() -> argparse.Namespace:
    parser = argparse.ArgumentParser(prog="python3 -m e2e.demo", description=__doc__.split("\n\n")[0])
    parser.add_argument("program", type=Path, help=f"the cross-built {PROGRAM}")
    parser.add_argument("--tools", type=Path, help="folder of mavik_driver.exe and mavik_standin.exe "
                                                   "(default: e2e/tools beside the program)")
    parser.add_argument("--screenshot", type=Path, help="PNG of the window during the download (Xvfb only)")
    parser.add_argument("--timeout", type=float, default=600, help="seconds to wait for the program's end")
    return parser.parse_args()


def button(window: Window):
    return next(child for child in window.children if child.visible and child.size == BUTTON_SIZE)


def drive(driver: Driver, screenshot: Path | None, scratch: Path) -> None:
    """What a user does: click the button, then watch the progress line."""
    window = driver.wait_window(title="QorMavikWebSetup", exe=PROGRAM, timeout=30)
    driver.click_control(button(window))
    print("Clicked İndir&Kur.")
    downloading = driver.wait_for(
        lambda snapshot: next((w for w in snapshot.find("QorMavikWebSetup", exe=PROGRAM, visible=True)
                               if any("% (" in child.text for child in w.children)), None),
        "a progress line in the download window", timeout=60, exe=PROGRAM)
    if screenshot:
        driver.capture(downloading, scratch / "download.bmp").save_png(screenshot)
        print(f"Saved a screenshot of the download to {screenshot}.")


def main() -> int:
    options = arguments()
    program = options.program.resolve()
    build = Build(bits_of(program), program, (options.tools or program.parent / "e2e" / "tools").resolve())
    build.require()
    display = os.environ.get("DISPLAY")
    root = scratch_root()
    with contextlib.nullcontext(SimpleNamespace(display=display)) if display else Xvfb() as screen, \
            Session(build, root / "demo", screen.display, root) as session:
        session.serve_standins(BEHAVIOURS, bytes_per_second=BYTES_PER_SECOND)
        folder = session.program_folder()
        print(f"Starting {folder / PROGRAM} ({build.bits}-bit) on display {screen.display}.")
        run = session.start_program(folder)
        if display:
            print("Click İndir&Kur in the QorMavikWebSetup window; the demo ends with the program.")
        else:
            drive(session.driver, options.screenshot, session.root)
        exit_code = run.wait(options.timeout)
        print(f"The program ended with exit code {exit_code}.")
        requests = session.server.requests
        schemes = ", ".join(sorted({request.scheme for request in requests}))
        print(f"Requested ({schemes or 'nothing'}):", ", ".join(str(request.name) for request in requests))
        print("Installed, in order:", ", ".join(session.standins_started()) or "nothing")
        print("Completion marker:", session.machine.marker)
    return 0


if __name__ == "__main__":
    sys.exit(main())
