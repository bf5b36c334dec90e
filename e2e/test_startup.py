"""Start-up of the real program under Wine: the local folder and the first window."""

import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import IDOK
from e2e.harness.exit_codes import CANCELLED, SETUP_ERROR
from e2e.harness.machine import read_only
from e2e.harness.wine import windows_path

DOWNLOAD_WINDOW = "QorMavikWebSetup"


class FirstStart:
    """A first run on a bare machine, from a folder whose name only the wide APIs get right."""

    def test_first_start_creates_the_local_folder_and_opens_the_download_window(self):
        folder = self.session.program_folder()
        run = self.session.start_program(folder)

        window = self.driver.wait_window(title=DOWNLOAD_WINDOW, exe=PROGRAM)

        self.assertTrue((folder / "mavikfiles").is_dir())
        self.assertEqual(list((folder / "mavikfiles").iterdir()), [])
        self.assertEqual(self.server.requests, [], "nothing is fetched before the button is clicked")
        self.driver.close(window)
        self.assertEqual(run.wait(), CANCELLED)
        self.assertEqual(self.session.standins_started(), [])

    def test_a_link_or_a_file_standing_for_the_local_folder_ends_in_the_folder_message_alone(self):
        # Wine reports a Linux symbolic link with the reparse point attribute, as Windows reports a
        # junction or symbolic link. What Wine cannot show (the folder's access list, that the
        # running program keeps it from being renamed, deletes that leave a link's target alone:
        # Wine 8 deletes the target) is tested through the platform layer's fakes.
        elsewhere = self.session.root / "elsewhere"
        elsewhere.mkdir()
        kept = "a file of the user's\n"
        stand_ins = {
            "a link to a folder": (lambda local: local.symlink_to(elsewhere, target_is_directory=True),
                                   lambda local: self.assertEqual(list(elsewhere.iterdir()), [])),
            "a file": (lambda local: local.write_text(kept),
                       lambda local: self.assertEqual(local.read_text(), kept)),
        }
        for what, (make, check_untouched) in stand_ins.items():
            with self.subTest(what):
                folder = self.session.program_folder()
                make(folder / "mavikfiles")
                run = self.session.start_program(folder)

                box = self.driver.wait_message_box(exe=PROGRAM, timeout=30)
                self.assertEqual(box.message, f'"{windows_path(folder)}\\mavikfiles\\" klasörü oluşturulamadı.')
                shown = self.driver.snapshot().find(exe=PROGRAM, visible=True)
                self.assertEqual([window.hwnd for window in shown], [box.hwnd], "the message box is the only window")
                self.driver.press(box, IDOK)
                self.assertEqual(run.wait(), SETUP_ERROR)
                check_untouched(folder / "mavikfiles")
        self.assertEqual(self.server.requests, [])

    def test_a_folder_that_cannot_be_created_ends_in_the_folder_message_alone(self):
        folder = self.session.program_folder()
        with read_only(folder):
            run = self.session.start_program(folder)

            box = self.driver.wait_message_box(exe=PROGRAM)
            self.assertEqual(box.title, "MavikWebSetup")
            self.assertEqual(box.message, f'"{windows_path(folder)}\\mavikfiles\\" klasörü oluşturulamadı.')
            self.assertEqual(self.driver.icon(box.icon), "hand")
            self.assertEqual([button.id for button in box.buttons], [IDOK])
            shown = self.driver.snapshot().find(exe=PROGRAM, visible=True)
            self.assertEqual([window.hwnd for window in shown], [box.hwnd], "the message box is the only window")

            self.driver.press(box, IDOK)
            self.assertEqual(run.wait(), SETUP_ERROR)
        self.assertFalse((folder / "mavikfiles").exists())
        self.assertEqual(self.server.requests, [])


class StartUp32(FirstStart, WineTestCase):
    bits = 32


class StartUp64(FirstStart, WineTestCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
