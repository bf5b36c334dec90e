"""The download window at 96 and at 144 DPI under Wine: every spot scales, and the logo and the
button show the artwork drawn for that scale, pixel for pixel, filling their spots exactly."""

from __future__ import annotations

import time
import unittest
from pathlib import Path

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import Control, Window
from e2e.harness.exit_codes import CANCELLED
from e2e.harness.images import Bitmap
from e2e.test_download_road import IDLE, WINDOW, shown_button, window_in

RESOURCES = Path(__file__).resolve().parent.parent / "resources"
IMAGE1_ID, STATUS_ID = 3, 1
# The layout in twips: the logo's and the button's spots, the status line's left edge.
IMAGE1_AT = (120, 120, 960, 480)
INDKUR1_AT = (5865, 30, 2340, 765)
CLIENT_AREA = (8205, 1365)
# The artwork file of each DPI the tests use.
SUFFIX = {96: "", 144: "-150"}
# A control is listed a moment before it is painted: under qemu a first capture once found the
# logo's whole spot still blank.
PAINT_TIMEOUT = 5.0


def pixels(twips: int, dpi: int) -> int:
    """Twips at dpi, rounded half away from zero as the window rounds them."""
    return (twips * dpi + 720) // 1440


def spot(at: tuple[int, int, int, int], dpi: int) -> tuple[int, int, int, int]:
    """(left, top, width, height) in pixels of the client area."""
    left, top, width, height = at
    return pixels(left, dpi), pixels(top, dpi), pixels(width, dpi), pixels(height, dpi)


def differing_pixels(shown: Bitmap, expected: Bitmap) -> set[tuple[int, int]]:
    return {(x, y) for y in range(expected.height) if shown.rows[y] != expected.rows[y]
            for x in range(expected.width) if shown.pixel(x, y) != expected.pixel(x, y)}


def focus_ring(width: int, height: int) -> set[tuple[int, int]]:
    """The outline of the button's focus rectangle, which lies inside the face's rounded edge."""
    inset = height * 6 // 51
    left, top, right, bottom = inset, inset, width - inset - 1, height - inset - 1
    return ({(x, y) for x in range(left, right + 1) for y in (top, bottom)}
            | {(x, y) for y in range(top, bottom + 1) for x in (left, right)})


class EveryDpi:
    """Run with dpi set: the window opens at that DPI."""

    def test_the_logo_and_the_button_fill_their_spots_with_the_artwork_of_the_scale(self):
        folder = self.session.program_folder()
        run = self.session.start_program(folder)
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        # The cursor away from the window, so that the button shows its plain face.
        self.driver.move(2, 2)
        window = self.driver.wait_for(lambda snapshot: (window := window_in(snapshot)) and shown_button(window)
                                      and shown_button(window).id == IDLE and window,
                                      "the idle image of the button", exe=PROGRAM)
        logo, button = window.control(IMAGE1_ID), shown_button(window)

        # Everything is placed relative to the status line, whose spot starts at (120, 720) twips.
        status = window.control(STATUS_ID)
        origin = (status.rect[0] - pixels(120, self.dpi), status.rect[1] - pixels(720, self.dpi))
        for control, at in ((logo, IMAGE1_AT), (button, INDKUR1_AT)):
            left, top, width, height = spot(at, self.dpi)
            self.assertEqual((control.rect[0] - origin[0], control.rect[1] - origin[1], *control.size),
                             (left, top, width, height), f"control {control.id} at {self.dpi} DPI")

        client_right = origin[0] + pixels(CLIENT_AREA[0], self.dpi)
        self.assertEqual(button.rect[2], client_right, "the button ends on the client area's right edge")

        suffix = SUFFIX[self.dpi]
        # The button has the focus; where the system shows focus rectangles at once, as Wine
        # does, its dotted ring is the only thing drawn over the face.
        allowed = {logo.id: set(), button.id: focus_ring(*button.size)}
        for control, artwork in ((logo, f"logo{suffix}.png"), (button, f"button0{suffix}.png")):
            differing = self.differing_once_painted(control, Bitmap.read_png(RESOURCES / artwork),
                                                    allowed[control.id])
            self.assertLessEqual(differing, allowed[control.id],
                                 f"pixels of {artwork} that the screen shows otherwise, beyond a focus ring")

        screenshot = self.driver.capture(window, self.session.root / "window.bmp")
        screenshot.save_png(self.session.root / f"download-window-{self.dpi}dpi.png")
        self.driver.close(window)
        self.assertEqual(run.wait(), CANCELLED)

    def differing_once_painted(self, control: Control, expected: Bitmap,
                               allowed: set[tuple[int, int]]) -> set[tuple[int, int]]:
        """The pixels where the control shows otherwise than expected: none beyond allowed, or
        those of the last capture once PAINT_TIMEOUT has passed."""
        deadline = time.monotonic() + PAINT_TIMEOUT
        while True:
            shown = self.driver.capture(control, self.session.root / f"control{control.id}.bmp")
            self.assertEqual((shown.width, shown.height), (expected.width, expected.height))
            differing = differing_pixels(shown, expected)
            if differing <= allowed or time.monotonic() > deadline:
                return differing
            time.sleep(0.1)


class Dpi96x64(EveryDpi, WineTestCase):
    bits = 64
    dpi = 96


class Dpi144x64(EveryDpi, WineTestCase):
    bits = 64
    dpi = 144


class Dpi96x32(EveryDpi, WineTestCase):
    bits = 32
    dpi = 96


class Dpi144x32(EveryDpi, WineTestCase):
    bits = 32
    dpi = 144


if __name__ == "__main__":
    unittest.main()
