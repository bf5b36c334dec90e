"""No DLL from the program's own folder: a DLL planted there under the name of every DLL that the
program's process loads during a whole download road is never loaded, and the road completes.
The cases are WineTestCase ones, through the download road's DownloadRoadCase."""

from __future__ import annotations

import shutil
import unittest

from e2e.harness.builds import PROGRAM
from e2e.harness.wine import windows_path
from e2e.test_download_road import BEHAVIOURS, INSTALL_ORDER, QUEUE, WINDOW, DownloadRoadCase

# Every DLL that the program's process loaded during a whole download road under Wine 8 (64-bit),
# read from a run with WINEDEBUG=+pid,+loaddll. shcore.dll is the one that was taken from the
# program's folder while shell32 was still bound at process start.
LOADED_DURING_A_DOWNLOAD_ROAD = [
    "advapi32.dll", "combase.dll", "comctl32.dll", "compstui.dll", "dnsapi.dll", "dxgi.dll",
    "gdi32.dll", "imm32.dll", "iphlpapi.dll", "kernel32.dll", "kernelbase.dll", "mpr.dll",
    "msvcrt.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "opengl32.dll", "rpcrt4.dll",
    "scrrun.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "ucrtbase.dll", "user32.dll", "uxtheme.dll", "version.dll", "wbemprox.dll", "win32u.dll",
    "wined3d.dll", "winex11.drv", "wininet.dll", "winspool.drv", "ws2_32.dll", "wshom.ocx",
    "zlib1.dll",
]
PLANTED_LOG = "planted.log"


class PlantedDlls:
    def planted_loads(self, folder) -> list[str]:
        """The names under which a planted DLL in folder was loaded, in order."""
        log = folder / PLANTED_LOG
        return log.read_text(encoding="utf-16-le").split() if log.exists() else []

    def test_a_planted_dll_records_its_loading(self):
        # Without this, a planted DLL that cannot load would let the test below pass.
        folder = self.session.root / "control"
        folder.mkdir()
        shutil.copyfile(self.build.planted, folder / "shcore.dll")
        # The prefix's loader of this bitness runs the rundll32 of this bitness.
        self.session.prefix.run(["rundll32.exe", f"{windows_path(folder / 'shcore.dll')},Any"], check=False)
        self.assertEqual(self.planted_loads(folder), ["shcore.dll"])

    def test_no_planted_dll_is_loaded_during_a_whole_download_road(self):
        folder = self.session.program_folder()
        for name in LOADED_DURING_A_DOWNLOAD_ROAD:
            shutil.copyfile(self.build.planted, folder / name)
        self.session.serve_standins(BEHAVIOURS)
        run = self.session.start_program(folder)
        self.driver.wait_window(title=WINDOW, exe=PROGRAM, timeout=30)
        self.click_button()
        self.assertEqual(self.finish_installation(run), [])

        self.assertEqual(self.server.requested_names(), QUEUE)
        self.assertEqual(self.session.standins_started(), INSTALL_ORDER)
        self.assertEqual(self.planted_loads(folder), [])


class PlantedDlls32(PlantedDlls, DownloadRoadCase):
    bits = 32


class PlantedDlls64(PlantedDlls, DownloadRoadCase):
    bits = 64


if __name__ == "__main__":
    unittest.main()
