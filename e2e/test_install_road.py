"""The installation road under Wine: every queued package already lies in mavikfiles, so the program
installs them one after the other behind its wait window, without a download window."""

import shutil
import time
import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import IDNO, IDOK, IDYES, MESSAGE_BOX_CLASS, Window
from e2e.harness import exit_codes
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, STAGING_FOLDER
from e2e.harness.wine import windows_path

WAIT_WINDOW = "Bekleyiniz..."
WAIT_LABEL = "Gerekli programlar kuruluyor..."
QUESTION = "QORmavik kurulumu iptal edildi, ek paketler kurulsun mu?"
ALREADY_RUNNING = "Kurulum programı zaten çalışıyor."
START_FAILED = "Program başlatılamadı: "
# A stand-in that shows a window is found at once; without one the program looks for it for 2 s.
SHOWN = "window=1"


def package_runs(log: list[str]) -> list[dict[str, str]]:
    """The stand-in log cut into one record per started package: first word of each line to the rest."""
    runs: list[dict[str, str]] = []
    for line in log:
        word, _, rest = line.partition(" ")
        if word == "start":
            runs.append({})
        runs[-1][word] = rest
    return runs


class InstallRoad:
    """Each test runs the program from a folder with blanks, Turkish and CJK letters in its name."""

    def setUp(self):
        super().setUp()
        self.folder = self.session.program_folder()

    def start(self, behaviours: dict[str, str], dotnet: bool = False, not_programs: tuple[str, ...] = ()):
        """The program started with a stand-in (or, for not_programs, a text file) in mavikfiles under
        each name; .NET 4.7.2 installed when dotnet is set. No printers under Wine: the PDF printer
        package is always planned."""
        if dotnet:
            self.machine.set_dotnet()
        self.session.place_standins(self.folder, behaviours)
        for name in not_programs:
            (self.folder / "mavikfiles" / name).write_text("Bu bir program değil.\r\n", encoding="utf-8")
        return self.session.start_program(self.folder)

    def package_path(self, name: str) -> str:
        return windows_path(self.folder / "mavikfiles" / name)

    def started_and_ended(self) -> list[str]:
        return [line for line in self.session.standin_log() if line.startswith(("start ", "end "))]

    def message_box(self, title: str, icon: str, buttons: list[int]) -> Window:
        box = self.driver.wait_message_box(exe=PROGRAM)
        self.assertEqual(box.title, title)
        self.assertEqual(self.driver.icon(box.icon), icon)
        self.assertEqual([button.id for button in box.buttons], buttons)
        return box

    def answer(self, box: Window, button: int) -> None:
        """Presses the button and waits until the box has left the screen, so the next box found is new."""
        self.driver.press(box, button)
        self.driver.wait_for(lambda snapshot: not [window for window in snapshot.find(visible=True)
                                                   if window.hwnd == box.hwnd],
                             f"the box {box.title!r} closing")

    def answer_question(self, button: int) -> None:
        box = self.message_box("MavikWebSetup", "question", [IDYES, IDNO])
        self.assertEqual(box.message, QUESTION)
        self.assertNotIn(PDF_PRINTER, self.session.standins_started(), "the printer package waits for the answer")
        self.answer(box, button)

    def watch_wait_window(self, run, timeout: float = 30) -> list[Window]:
        """Every sighting of the visible wait window, polling as fast as the driver answers until the
        program has ended or shows a message box: the window is on screen for only about 200 ms
        before each package starts."""
        seen = []
        deadline = time.monotonic() + timeout
        while run.running and time.monotonic() < deadline:
            snapshot = self.driver.snapshot()
            if snapshot.find(cls=MESSAGE_BOX_CLASS, exe=PROGRAM, visible=True):
                break
            seen += snapshot.find(title=WAIT_WINDOW, exe=PROGRAM, visible=True)
        return seen

    def test_the_packages_run_one_after_another_behind_a_topmost_wait_window_and_the_program_ends(self):
        self.machine.marker = "7"
        # Where a start that splits the path at its first blank would look for a program.
        decoy = self.folder.parent / (self.folder.name.split(" ")[0] + ".exe")
        shutil.copyfile(self.build.standin, decoy)
        run = self.start({DOTNET: f"{SHOWN} wait_ms=400 exit=5", MAIN_APP: f"{SHOWN} marker=1 wait_ms=400 exit=1",
                          PDF_PRINTER: SHOWN})

        sightings = self.watch_wait_window(run)
        boxes = self.driver.snapshot().find(cls=MESSAGE_BOX_CLASS, exe=PROGRAM, visible=True)
        self.assertEqual([(box.title, box.message) for box in boxes], [], "no message box in a clean sequence")

        self.assertEqual(self.started_and_ended(), [f"{edge} {name}" for name in (DOTNET, MAIN_APP, PDF_PRINTER)
                                                    for edge in ("start", "end")])
        # .NET and the main installer end with 5 and 1, and the printer's package still runs.
        self.assertEqual(run.wait(5), exit_codes.PACKAGE_FAILED)
        runs = package_runs(self.session.standin_log())
        self.assertEqual([package["marker"] for package in runs], ["7", "0", "1"],
                         ".NET runs before the marker is written, the main installer after")
        for package in runs:
            self.assertEqual(package["cmdline"], f'"{STAGING_FOLDER}\\{package["start"]}"')
            self.assertEqual(package["showwindow"], "1")
            self.assertNotEqual(package["waitwindow"], "visible", "the wait window hides before the start")
            self.assertEqual(package["top"], "yes")
        self.assertEqual(self.machine.marker, "1")
        # Inside its one SetWindowPos call Wine makes the window visible a moment before it joins the
        # topmost band, so each loaded window is judged by its last sighting.
        settled = {window.hwnd: window for window in sightings}
        self.assertTrue(settled, "the wait window was never seen on screen")
        for window in settled.values():
            self.assertTrue(window.topmost)
            self.assertEqual([child.text for child in window.children if child.visible], [WAIT_LABEL])

    def test_an_installer_that_broadcasts_while_the_program_waits_is_answered_and_the_sequence_goes_on(self):
        # The broadcast reaches every top-level window, the hidden wait window included, and returns
        # only when each has answered; the main installer writes its marker as a DWORD.
        run = self.start({DOTNET: f"{SHOWN} broadcast=1", MAIN_APP: f"{SHOWN} marker=dword:1", PDF_PRINTER: SHOWN})

        self.assertEqual(run.wait(60), 0)
        runs = package_runs(self.session.standin_log())
        self.assertEqual([package["start"] for package in runs], [DOTNET, MAIN_APP, PDF_PRINTER],
                         "a DWORD marker of 1 counts as completed: no question")
        answered = runs[0]["broadcast"]
        self.assertRegex(answered, r"^answered \d+$")
        self.assertLess(int(answered.split()[1]), 10000, "the waiting program answers the broadcast at once")
        self.assertEqual(runs[1]["wrote"], "marker dword 1")

    def test_a_completion_marker_left_as_a_dword_0_counts_as_cancelled(self):
        run = self.start({MAIN_APP: f"{SHOWN} marker=dword:0", PDF_PRINTER: SHOWN}, dotnet=True)

        self.answer_question(IDNO)

        self.assertEqual(run.wait(10), exit_codes.MAIN_INSTALLATION_INCOMPLETE)
        self.assertEqual(self.session.standins_started(), [MAIN_APP])

    def test_a_second_start_says_that_a_copy_runs_touches_nothing_and_the_first_goes_on(self):
        # The first copy holds at the question after its main installer, until the test answers it.
        first = self.start({MAIN_APP: SHOWN, PDF_PRINTER: SHOWN}, dotnet=True)
        question = self.message_box("MavikWebSetup", "question", [IDYES, IDNO])

        other = self.session.program_folder()
        second = self.session.start_program(other)
        box = self.driver.wait_for(
            lambda snapshot: next((box for box in snapshot.message_boxes(exe=PROGRAM) if box.hwnd != question.hwnd),
                                  None), "the second copy's message box", exe=PROGRAM)
        self.assertEqual(box.message, ALREADY_RUNNING)
        self.assertEqual(box.title, "MavikWebSetup")
        self.assertEqual(self.driver.icon(box.icon), "exclamation")
        self.assertEqual([button.id for button in box.buttons], [IDOK])
        self.answer(box, IDOK)
        self.assertEqual(second.wait(15), exit_codes.ALREADY_RUNNING)
        self.assertFalse((other / "mavikfiles").exists(), "the second copy creates no folder")
        self.assertEqual(self.server.requests, [], "and fetches nothing")

        self.assertTrue(first.running)
        self.answer(question, IDYES)
        self.assertEqual(first.wait(15), exit_codes.MAIN_INSTALLATION_INCOMPLETE)
        self.assertEqual(self.session.standins_started(), [MAIN_APP, PDF_PRINTER])

    def test_a_main_installer_that_leaves_the_marker_at_0_is_asked_about_and_no_skips_the_printer(self):
        self.machine.marker = "1"
        run = self.start({MAIN_APP: SHOWN, PDF_PRINTER: SHOWN}, dotnet=True)

        self.answer_question(IDNO)

        self.assertEqual(run.wait(10), exit_codes.MAIN_INSTALLATION_INCOMPLETE)
        self.assertEqual(self.started_and_ended(), [f"start {MAIN_APP}", f"end {MAIN_APP}"])
        self.assertEqual(package_runs(self.session.standin_log())[0]["marker"], "0", "the old marker is overwritten")
        self.assertEqual(self.machine.marker, "0")

    def test_a_main_installer_that_deletes_the_marker_is_asked_about_and_yes_runs_the_printer(self):
        run = self.start({MAIN_APP: f"{SHOWN} marker=delete", PDF_PRINTER: SHOWN}, dotnet=True)

        self.answer_question(IDYES)

        self.assertEqual(run.wait(10), exit_codes.MAIN_INSTALLATION_INCOMPLETE)
        self.assertEqual(self.session.standins_started(), [MAIN_APP, PDF_PRINTER])
        self.assertIsNone(self.machine.marker)

    def test_packages_that_are_not_programs_are_reported_and_the_sequence_goes_on(self):
        run = self.start({PDF_PRINTER: SHOWN}, not_programs=(DOTNET, MAIN_APP))

        descriptions = []
        for name in (DOTNET, MAIN_APP):
            box = self.message_box("Hata", "exclamation", [IDOK])
            text = START_FAILED + self.package_path(name) + "\r\n"
            self.assertEqual(box.message[:len(text)], text)
            descriptions.append(box.message[len(text):])
            waiting = self.driver.snapshot().find(title=WAIT_WINDOW, exe=PROGRAM)
            self.assertEqual([(window.visible, window.topmost) for window in waiting], [(False, True)],
                             "the wait window is hidden but loaded while its package is dealt with")
            self.answer(box, IDOK)
        self.answer_question(IDYES)

        self.assertEqual(run.wait(10), exit_codes.PACKAGE_NOT_STARTED)
        self.assertEqual(self.session.standins_started(), [PDF_PRINTER])
        self.assertEqual(self.machine.marker, "0")
        for description in descriptions:
            self.assertTrue(description.strip(), "the start error's description follows the path")
            self.assertNotRegex(description, r"%\d", "the description's inserts are filled in")


class InstallRoad32(InstallRoad, WineTestCase):
    bits = 32


class InstallRoad64(InstallRoad, WineTestCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
