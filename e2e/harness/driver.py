"""Python side of mavik_driver.exe: one long-lived driver per prefix holds its desktop and answers
commands over a pipe in a few milliseconds each."""

from __future__ import annotations

import json
import os
import select
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, TypeVar

from .crashes import CrashLog
from .images import Bitmap
from .wine import Prefix, windows_path

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
VK_TAB, VK_RETURN, VK_ESCAPE, VK_SPACE = 0x09, 0x0D, 0x1B, 0x20
MESSAGE_BOX_CLASS = "#32770"
MESSAGE_TEXT_ID = 0xFFFF
SS_TYPEMASK, SS_ICON = 0x1F, 0x03

T = TypeVar("T")


class DriverError(RuntimeError):
    """The driver answered with an error, or did not answer in time."""


@dataclass(frozen=True)
class Control:
    hwnd: int
    parent: int
    id: int
    cls: str
    text: str
    visible: bool
    enabled: bool
    style: int
    rect: tuple[int, int, int, int]  # screen coordinates

    @property
    def center(self) -> tuple[int, int]:
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2

    @property
    def size(self) -> tuple[int, int]:
        left, top, right, bottom = self.rect
        return right - left, bottom - top

    @property
    def shows_icon(self) -> bool:
        return self.cls.lower() == "static" and self.style & SS_TYPEMASK == SS_ICON


@dataclass(frozen=True)
class Window:
    hwnd: int
    pid: int
    exe: str
    cls: str
    title: str
    visible: bool
    enabled: bool
    topmost: bool
    owner: int
    style: int
    rect: tuple[int, int, int, int]
    children: tuple[Control, ...]

    def control(self, id: int) -> Control:
        found = [child for child in self.children if child.id == id and child.parent == self.hwnd]
        if not found:
            raise AssertionError(f"window {self.title!r} has no control {id}; it has {describe_controls(self)}")
        return found[0]

    @property
    def is_message_box(self) -> bool:
        return self.cls == MESSAGE_BOX_CLASS

    @property
    def message(self) -> str:
        """A message box's text."""
        return self.control(MESSAGE_TEXT_ID).text

    @property
    def buttons(self) -> list[Control]:
        return [child for child in self.children if child.cls.lower() == "button" and child.visible]

    @property
    def icon(self) -> Control | None:
        """A message box's icon control (id 20 on Windows, another id under Wine), if it shows one."""
        return next((child for child in self.children if child.shows_icon and child.visible), None)


@dataclass(frozen=True)
class Snapshot:
    """Every top-level window of the prefix (frontmost first) and every process, at one moment."""

    windows: tuple[Window, ...]
    processes: tuple[tuple[int, str], ...]
    foreground: int
    cursor: tuple[int, int]
    screen: tuple[int, int]

    def find(self, title: str | None = None, cls: str | None = None, exe: str | None = None,
             visible: bool | None = None) -> list[Window]:
        return [window for window in self.windows
                if (title is None or window.title == title) and (cls is None or window.cls == cls)
                and (exe is None or window.exe.lower() == exe.lower())
                and (visible is None or window.visible == visible)]

    def message_boxes(self, title: str | None = None, exe: str | None = None) -> list[Window]:
        """Visible message boxes whose text, buttons and icon are all in place: a box can be seen
        visible a moment before its children are."""
        return [box for box in self.find(title, MESSAGE_BOX_CLASS, exe, visible=True)
                if any(child.id == MESSAGE_TEXT_ID for child in box.children) and box.buttons and box.icon]

    def running(self, exe: str) -> bool:
        return any(name.lower() == exe.lower() for _, name in self.processes)

    def describe(self, exe: str | None = None) -> str:
        """The visible windows (of exe when given) in a form for failure messages."""
        shown = [window for window in self.windows
                 if window.visible and (exe is None or window.exe.lower() == exe.lower())]
        if not shown:
            return "no visible window"
        return "; ".join(f"{window.exe} {window.cls} {window.title!r} [{describe_controls(window)}]"
                         for window in shown)


def describe_controls(window: Window) -> str:
    return ", ".join(f"{child.id}:{child.cls}:{child.text!r}" for child in window.children if child.visible)


def _control(data: dict) -> Control:
    return Control(data["hwnd"], data["parent"], data["id"], data["class"], data["text"], data["visible"],
                   data["enabled"], data["style"], tuple(data["rect"]))


def _window(data: dict) -> Window:
    return Window(data["hwnd"], data["pid"], data["exe"], data["class"], data["title"], data["visible"],
                  data["enabled"], data["topmost"], data["owner"], data["style"], tuple(data["rect"]),
                  tuple(_control(child) for child in data["children"]))


class Driver:
    """mavik_driver.exe idle, running in the prefix from before the program starts until the end."""

    def __init__(self, prefix: Prefix, executable: Path, crashes: CrashLog, start_timeout: float = 60) -> None:
        self._process = prefix.start([str(executable), "idle"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=crashes.stream)
        self._crashes = crashes
        self._pending = b""
        try:
            self.snapshot(timeout=start_timeout)
        except BaseException:
            self.stop()
            raise

    def stop(self) -> None:
        if self._process.poll() is None:
            self._process.kill()
        self._process.wait(10)
        self._process.stdin.close()
        self._process.stdout.close()

    def ask(self, *words: str | int, timeout: float = 15) -> dict:
        line = "\t".join(map(str, words)) + "\n"
        try:
            self._process.stdin.write(line.encode())
            self._process.stdin.flush()
        except BrokenPipeError as error:
            raise DriverError(f"the driver has ended (exit code {self._process.poll()})") from error
        deadline = time.monotonic() + timeout
        while b"\n" not in self._pending:
            left = deadline - time.monotonic()
            ready, _, _ = select.select([self._process.stdout], [], [], max(left, 0))
            if not ready:
                raise DriverError(f"the driver did not answer '{words[0]}' within {timeout} s")
            chunk = os.read(self._process.stdout.fileno(), 65536)
            if not chunk:
                raise DriverError(f"the driver ended while answering '{words[0]}'")
            self._pending += chunk
        reply, self._pending = self._pending.split(b"\n", 1)
        answer = json.loads(reply)
        if "error" in answer:
            raise DriverError(f"driver command {words!r} failed: {answer['error']}")
        return answer

    def snapshot(self, timeout: float = 15) -> Snapshot:
        data = self.ask("list", timeout=timeout)
        return Snapshot(tuple(_window(window) for window in data["windows"]),
                        tuple((process["pid"], process["exe"]) for process in data["processes"]),
                        data["foreground"], tuple(data["cursor"]), tuple(data["screen"]))

    def wait_for(self, condition: Callable[[Snapshot], T], what: str, timeout: float = 15,
                 exe: str | None = None) -> T:
        """Polls until condition returns something true and returns that; fails after timeout with
        what the screen (of exe, when given) showed last, and at once when a process of the run has
        died of an exception."""
        deadline = time.monotonic() + timeout
        while True:
            self._crashes.check()
            snapshot = self.snapshot()
            result = condition(snapshot)
            if result:
                return result
            if time.monotonic() > deadline:
                raise AssertionError(f"{what} did not happen within {timeout} s; on screen: {snapshot.describe(exe)}")
            time.sleep(0.05)

    def wait_window(self, title: str | None = None, cls: str | None = None, exe: str | None = None,
                    timeout: float = 15) -> Window:
        """The first visible top-level window that matches, once there is one."""
        return self.wait_for(lambda snapshot: next(iter(snapshot.find(title, cls, exe, visible=True)), None),
                             f"a window {title or ''!r} of class {cls or 'any'} of {exe or 'any program'}",
                             timeout, exe)

    def wait_message_box(self, title: str | None = None, exe: str | None = None, timeout: float = 15) -> Window:
        """The first complete message box that matches, once there is one."""
        return self.wait_for(lambda snapshot: next(iter(snapshot.message_boxes(title, exe)), None),
                             f"a message box {title or ''!r} of {exe or 'any program'}", timeout, exe)

    def wait_gone(self, exe: str, timeout: float = 15) -> None:
        self.wait_for(lambda snapshot: not snapshot.running(exe), f"the end of {exe}", timeout, exe)

    def press(self, window: Window, button_id: int) -> None:
        self.ask("press", window.hwnd, button_id)

    def close(self, window: Window) -> None:
        self.ask("close", window.hwnd)

    def move(self, x: int, y: int) -> None:
        self.ask("move", x, y)

    def click(self, x: int, y: int) -> None:
        self.ask("click", x, y)

    def click_control(self, control: Control) -> None:
        self.click(*control.center)

    def capture(self, window: Window | Control, path: Path) -> Bitmap:
        """What the screen shows where the window lies, saved as a BMP file and read back."""
        self.ask("capture", window.hwnd, windows_path(path))
        return Bitmap.read(path)

    def icon(self, control: Control, timeout: float = 5) -> str:
        """Which standard icon an icon control shows: hand, question, exclamation, asterisk or
        application, once one matches exactly. A message box is complete a moment before its icon
        is painted: under qemu the first look found it half drawn."""
        deadline = time.monotonic() + timeout
        while True:
            answer = self.ask("icon", control.hwnd)
            if answer["differing"][answer["best"]] == 0:
                return answer["best"]
            if time.monotonic() > deadline:
                raise AssertionError(f"the icon matches no standard icon exactly within {timeout} s: {answer}")
            time.sleep(0.05)

    def printers(self) -> list[str]:
        return self.ask("printers")["printers"]

    def key(self, virtual_key: int) -> None:
        """Presses and releases a key through the input queue: it reaches the foreground window's focus."""
        self.ask("key", virtual_key)

    def focus(self, window: Window) -> int:
        """The window that has the keyboard focus in the thread of window (0 for none)."""
        return self.ask("focus", window.hwnd)["focus"]

    def activate(self, window: Window) -> None:
        self.ask("activate", window.hwnd)

    def sent_text(self, control: Control | Window) -> tuple[str, int]:
        """The text the window answers to WM_GETTEXT, and the length it answers to WM_GETTEXTLENGTH."""
        answer = self.ask("senttext", control.hwnd)
        return answer["text"], answer["length"]

    def store_credential(self, target: str, user: str, password: str) -> None:
        """Keeps a generic credential in the user's store (CredWriteW), as Windows keeps a saved one."""
        self.ask("credential", target, user, password)

    def started_threads(self, pid: int) -> list[int]:
        """The threads that the code of the process's exe started, and that run still (ids)."""
        return [thread["tid"] for thread in self.ask("threads", pid)["started"]]

    def accessible_name(self, control: Control | Window) -> str:
        """What a screen reader announces for the control: the name its accessibility proxy gives."""
        return self.ask("accname", control.hwnd)["name"]
