"""The download window from the keyboard alone under Wine: the button has the focus from the
start and shows it, a screen reader reads the face's text, Space starts a run, Escape asks to
cancel it, and Enter starts the run that downloads and installs everything."""

from __future__ import annotations

import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import VK_ESCAPE, VK_RETURN, VK_SPACE, VK_TAB, Window
from e2e.harness.images import Bitmap
from e2e.test_download_road import (CANCEL, CANCEL_HOVER, CANCEL_QUESTION, DOTNET, IDLE, IDLE_HOVER, INSTALL_ORDER,
                                    QUEUE, WATCHED_RATE, DownloadRoadCase, cancelled_line, local_path, shown_button)
from e2e.test_every_dpi import RESOURCES, differing_pixels, focus_ring

FOCUS_HOLDER_ID = 9


class Keyboard:
    def focused_holder(self, window: Window) -> Window:
        """The window once its button's focus holder has the keyboard focus; the holder's name then
        follows the face on show."""
        holder = window.control(FOCUS_HOLDER_ID)
        self.driver.wait_for(lambda snapshot: self.driver.focus(window) == holder.hwnd,
                             "the focus on the button", exe=PROGRAM)
        return holder

    def wait_name(self, window: Window, name: str) -> None:
        holder = window.control(FOCUS_HOLDER_ID)
        self.driver.wait_for(lambda _: self.driver.accessible_name(holder) == name,
                             f"the button's accessible name {name!r}", exe=PROGRAM)

    def test_a_run_from_the_keyboard_alone(self):
        self.serve_queue({DOTNET: WATCHED_RATE})
        run, window = self.open_window()
        # Keys go to the foreground window, as a user's would.
        self.driver.move(2, 2)
        self.driver.wait_for(lambda snapshot: snapshot.foreground == window.hwnd, "the window in front",
                             exe=PROGRAM)
        self.focused_holder(window)
        self.wait_name(window, "İndir&Kur")

        # Tab keeps the focus on the only control that takes it; the face shows a focus ring.
        self.driver.key(VK_TAB)
        self.focused_holder(window)
        face = shown_button(self.wait_button(IDLE))
        ring = focus_ring(*face.size)
        shown = self.driver.capture(face, self.session.root / "focused.bmp")
        drawn = differing_pixels(shown, Bitmap.read_png(RESOURCES / "button0.png"))
        self.assertLessEqual(drawn, ring, "only the focus ring is drawn over the face")
        self.assertGreater(len(drawn), len(ring) // 3, "a dotted ring inside the face")

        # Space starts the run; the button turns to İptal and is named so.
        self.driver.key(VK_SPACE)
        self.wait_button(CANCEL, CANCEL_HOVER)
        self.wait_name(window, "İptal")
        self.focused_holder(window)

        # Escape asks to cancel; Tab moves to No, Enter answers it, and the transfer goes on. The
        # window answers while it connects too: the first figures are awaited before the question.
        dotnet = local_path(run.folder, DOTNET)
        kb = self.wait_progress(dotnet)
        self.driver.key(VK_ESCAPE)
        self.wait_box(CANCEL_QUESTION)
        self.driver.key(VK_TAB)
        self.driver.key(VK_RETURN)
        self.driver.wait_for(lambda snapshot: not snapshot.message_boxes(exe=PROGRAM), "the box to close",
                             exe=PROGRAM)
        self.wait_progress(dotnet, more_than=kb)
        # Escape again, and Enter answers Yes, the box's default: the run stops.
        self.focused_holder(window)
        self.driver.key(VK_ESCAPE)
        self.wait_box(CANCEL_QUESTION)
        self.driver.key(VK_RETURN)
        self.wait_status(cancelled_line(dotnet))
        self.wait_button(IDLE, IDLE_HOVER)
        self.wait_name(window, "İndir&Kur")
        # Escape while idle does nothing.
        self.focused_holder(window)
        self.driver.key(VK_ESCAPE)
        self.assertEqual(self.server.requested_names(), [DOTNET])

        # Enter starts the run again, from the first file, and the packages install.
        self.serve_queue()
        self.driver.key(VK_RETURN)
        self.assertEqual(self.finish_installation(run), [])
        self.assertEqual(self.server.requested_names(), [DOTNET, *QUEUE])
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)


class Keyboard32(Keyboard, DownloadRoadCase):
    bits = 32


class Keyboard64(Keyboard, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
