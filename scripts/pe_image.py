"""A PE32 or PE32+ image as the Windows loader reads it: headers, sections, data directories.
Shared by the scripts that check and patch the built exes."""

from __future__ import annotations

import struct
from dataclasses import dataclass

PE32, PE32_PLUS = 0x10B, 0x20B
IMAGE_SCN_MEM_EXECUTE = 0x20000000
IMPORT_DIRECTORY, RESOURCE_DIRECTORY, LOAD_CONFIG_DIRECTORY = 1, 2, 10


@dataclass(frozen=True)
class Section:
    name: str
    rva: int
    virtual_size: int
    file_offset: int
    file_size: int
    flags: int

    def holds(self, rva: int) -> bool:
        return self.rva <= rva < self.rva + max(self.virtual_size, self.file_size)

    @property
    def executable(self) -> bool:
        return bool(self.flags & IMAGE_SCN_MEM_EXECUTE)


class PeImage:
    def __init__(self, data: bytes | bytearray) -> None:
        self.data = data
        header = struct.unpack_from("<I", data, 0x3C)[0]
        if data[:2] != b"MZ" or data[header:header + 4] != b"PE\0\0":
            raise SystemExit("not a PE image")
        count, optional_size = struct.unpack_from("<H12xH", data, header + 6)
        optional = header + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic not in (PE32, PE32_PLUS):
            raise SystemExit(f"unknown optional header magic {magic:#x}")
        self.wide = magic == PE32_PLUS
        self.pointer_size = 8 if self.wide else 4
        self.base = struct.unpack_from("<Q" if self.wide else "<I", data, optional + (24 if self.wide else 28))[0]
        self._directories = optional + (112 if self.wide else 96)
        self.sections = []
        for index in range(count):
            entry = optional + optional_size + 40 * index
            name = data[entry:entry + 8].rstrip(b"\0").decode(errors="replace")
            virtual_size, rva, file_size, file_offset = struct.unpack_from("<IIII", data, entry + 8)
            flags = struct.unpack_from("<I", data, entry + 36)[0]
            self.sections.append(Section(name, rva, virtual_size, file_offset, file_size, flags))

    def section(self, rva: int) -> Section | None:
        return next((section for section in self.sections if section.holds(rva)), None)

    def file_offset(self, rva: int) -> int:
        """Where the byte at rva lies in the file; fails for one beyond its section's file data."""
        section = self.section(rva)
        if section is None or rva >= section.rva + section.file_size:
            raise SystemExit(f"address {rva:#x} lies in no section's file data")
        return section.file_offset + rva - section.rva

    def pointer_at(self, rva: int) -> int:
        """The pointer stored at rva; 0 for one beyond its section's file data (.bss)."""
        section = self.section(rva)
        if section is None or rva + self.pointer_size > section.rva + section.file_size:
            return 0
        return struct.unpack_from("<Q" if self.wide else "<I", self.data, self.file_offset(rva))[0]

    def directory(self, index: int) -> tuple[int, int]:
        """The data directory's address and size."""
        return struct.unpack_from("<II", self.data, self._directories + 8 * index)

    def set_directory(self, index: int, rva: int, size: int) -> None:
        struct.pack_into("<II", self.data, self._directories + 8 * index, rva, size)
