"""Where the packages run under Wine: each one from a copy in a folder that the program makes for its
run in ProgramData, which is also the package's current folder, and that goes when the run ends; a
DLL planted beside a package in mavikfiles is never loaded by it."""

from __future__ import annotations

import shutil
import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.case import WineTestCase
from e2e.harness.driver import IDYES
from e2e.harness.exit_codes import PACKAGE_FAILED
from e2e.harness.session import DOTNET, MAIN_APP, PDF_PRINTER, STAGING_FOLDER
from e2e.harness.wine import windows_path
from e2e.test_install_road import SHOWN, package_runs
from e2e.test_planted_dlls import PLANTED_LOG

PLANTED = "mavik_planted.dll"
# The loader's answer when a DLL that the program imports is found nowhere (STATUS_DLL_NOT_FOUND).
DLL_NOT_FOUND = 0xC0000135
QUESTION = "QORmavik kurulumu iptal edildi, ek paketler kurulsun mu?"


class PackageFolder:
    def setUp(self):
        super().setUp()
        self.folder = self.session.program_folder()
        self.data_folder = self.session.data_folder()

    def support_log(self) -> str:
        return (self.data_folder / "MavikSetupWebCD.log").read_text(encoding="utf-8")

    def test_each_package_runs_from_a_copy_in_a_folder_of_the_run_which_is_its_current_folder(self):
        # A folder left by a run that crashed goes first, and the new one takes its name.
        leftover = self.data_folder / "Paketler-1"
        leftover.mkdir(parents=True)
        (leftover / PDF_PRINTER).write_bytes(b"left behind")
        self.machine.marker = "1"
        self.session.place_standins(self.folder, {DOTNET: SHOWN, MAIN_APP: f"{SHOWN} marker=1", PDF_PRINTER: SHOWN})
        run = self.session.start_program(self.folder)
        self.assertEqual(run.wait(60), 0)

        runs = package_runs(self.session.standin_log())
        self.assertEqual([package["start"] for package in runs], [DOTNET, MAIN_APP, PDF_PRINTER])
        for package in runs:
            self.assertEqual(package["cmdline"], f'"{STAGING_FOLDER}\\{package["start"]}"')
            self.assertEqual(package["cwd"].rstrip("\\"), STAGING_FOLDER, "not the program's folder")
        self.assertEqual(sorted(path.name for path in self.data_folder.iterdir()), ["MavikSetupWebCD.log"],
                         "the run's folder is gone, and with it the copies")
        self.assertEqual(sorted(path.name for path in (self.folder / "mavikfiles").iterdir()),
                         sorted([DOTNET, MAIN_APP, PDF_PRINTER]), "mavikfiles keeps the packages")

    def test_a_dll_planted_beside_a_package_in_mavikfiles_is_never_loaded_by_it(self):
        # Without this, a stand-in that could not load the DLL at all would let the test below pass.
        control = self.session.root / "control"
        control.mkdir()
        shutil.copyfile(self.build.standin_importing, control / MAIN_APP)
        shutil.copyfile(self.build.planted, control / PLANTED)
        self.session.prefix.run([str(control / MAIN_APP)], check=False)
        self.assertEqual((control / PLANTED_LOG).read_text(encoding="utf-16-le").split(), [PLANTED])

        self.session.place_standins(self.folder, {MAIN_APP: SHOWN, PDF_PRINTER: SHOWN})
        local = self.folder / "mavikfiles"
        shutil.copyfile(self.build.standin_importing, local / MAIN_APP)
        shutil.copyfile(self.build.planted, local / PLANTED)
        self.machine.set_dotnet()
        run = self.session.start_program(self.folder)
        # The main installer never ran, so it wrote no marker.
        box = self.driver.wait_message_box(title="MavikWebSetup", exe=PROGRAM, timeout=60)
        self.assertEqual(box.message, QUESTION)
        self.driver.press(box, IDYES)
        # The main installer's own code (the DLL it imports is missing) outranks its missing marker.
        self.assertEqual(run.wait(60), PACKAGE_FAILED)

        self.assertFalse((local / PLANTED_LOG).exists(), "the planted DLL was loaded")
        self.assertEqual(self.session.standins_started(), [PDF_PRINTER])
        self.assertIn(f'Exit code: {DLL_NOT_FOUND} ("{windows_path(local / MAIN_APP)}")', self.support_log())


class PackageFolder32(PackageFolder, WineTestCase):
    bits = 32


class PackageFolder64(PackageFolder, WineTestCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
