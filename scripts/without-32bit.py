#!/usr/bin/env python3
"""Runs a command as a kernel without 32-bit programs would: any system call made in 32-bit mode
kills its process, in the command and in everything it starts. The nearest stand-in, on a machine
that runs 32-bit programs, for one that refuses them ("32-bit emulation disabled").

    scripts/without-32bit.py bash .ci/run
"""

import ctypes
import os
import struct
import sys

PR_SET_NO_NEW_PRIVS = 38
PR_SET_SECCOMP = 22
SECCOMP_MODE_FILTER = 2
SECCOMP_RET_KILL_PROCESS = 0x80000000
SECCOMP_RET_ALLOW = 0x7FFF0000
AUDIT_ARCH_X86_64 = 0xC000003E
ARCH_OFFSET = 4  # of struct seccomp_data
BPF_LD_W_ABS, BPF_JEQ_K, BPF_RET_K = 0x20, 0x15, 0x06


def refuse_32bit_system_calls() -> None:
    # Load the call's architecture; x86-64 goes on, anything else (int 0x80, 32-bit mode) is killed.
    program = [(BPF_LD_W_ABS, 0, 0, ARCH_OFFSET),
               (BPF_JEQ_K, 1, 0, AUDIT_ARCH_X86_64),
               (BPF_RET_K, 0, 0, SECCOMP_RET_KILL_PROCESS),
               (BPF_RET_K, 0, 0, SECCOMP_RET_ALLOW)]
    code = ctypes.create_string_buffer(b"".join(struct.pack("HBBI", *line) for line in program))
    fprog = struct.pack("HxxxxxxP", len(program), ctypes.addressof(code))
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl.argtypes = [ctypes.c_int, ctypes.c_ulong, ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
    if libc.prctl(PR_SET_NO_NEW_PRIVS, 1, None, 0, 0) != 0 or \
            libc.prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, ctypes.c_char_p(fprog), 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "the kernel refused the seccomp filter")


if __name__ == "__main__":
    if len(sys.argv) < 2 or os.uname().machine != "x86_64":
        sys.exit(__doc__)
    refuse_32bit_system_calls()
    os.execvp(sys.argv[1], sys.argv[1:])
