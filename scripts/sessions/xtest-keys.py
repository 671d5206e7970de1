#!/usr/bin/env python3
"""Types keys on the X display through XTest, as a person at the keyboard would.

Usage: xtest-keys.py [--after FILE] START_MS KEY[:HOLD_MS[:GAP_MS]] ...

Waits until FILE exists (at most a minute), then START_MS, then for each KEY (an X keysym name: a, b, Return, Control_L, ...)
presses it, holds it HOLD_MS (default 80), releases it and waits GAP_MS (default 250). KEY may
be a chord, Alt_L+F4: pressed in that order, released in the other.
Used by scripted sessions whose program records keys through its input hook.
"""
import ctypes
import ctypes.util
import os
import sys
import time


def load(name, fallback):
    return ctypes.cdll.LoadLibrary(ctypes.util.find_library(name) or fallback)


def main(argv):
    if len(argv) > 2 and argv[1] == "--after":
        deadline = time.monotonic() + 60
        while not os.path.exists(argv[2]):
            if time.monotonic() > deadline:
                print("xtest-keys: " + argv[2] + " never appeared", file=sys.stderr)
                return 1
            time.sleep(0.05)
        argv = argv[:1] + argv[3:]
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    x11 = load("X11", "libX11.so.6")
    xtst = load("Xtst", "libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

    display = x11.XOpenDisplay(None)
    if not display:
        print("xtest-keys: no X display", file=sys.stderr)
        return 1
    time.sleep(int(argv[1]) / 1000)
    for word in argv[2:]:
        parts = word.split(":")
        hold = int(parts[1]) if len(parts) > 1 else 80
        gap = int(parts[2]) if len(parts) > 2 else 250
        codes = [x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
                 for name in parts[0].split("+")]
        if 0 in codes:
            print("xtest-keys: unknown key in " + parts[0], file=sys.stderr)
            continue
        for code in codes:
            xtst.XTestFakeKeyEvent(display, code, 1, 0)
        x11.XFlush(display)
        time.sleep(hold / 1000)
        for code in reversed(codes):
            xtst.XTestFakeKeyEvent(display, code, 0, 0)
        x11.XFlush(display)
        time.sleep(gap / 1000)
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
