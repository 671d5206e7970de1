#!/usr/bin/env python3
"""Moves the X pointer, or clicks with the left button, through XTest, as a person would.

Usage: xtest-pointer.py move X Y | click X Y

A click moves there first. Used by scripted sessions that check where a menu opens and
that a click outside closes it.
"""
import ctypes
import ctypes.util
import sys
import time


def load(name, fallback):
    return ctypes.cdll.LoadLibrary(ctypes.util.find_library(name) or fallback)


def main(argv):
    if len(argv) != 4 or argv[1] not in ("move", "click"):
        print(__doc__, file=sys.stderr)
        return 2
    x, y = int(argv[2]), int(argv[3])
    x11 = load("X11", "libX11.so.6")
    xtst = load("Xtst", "libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XWarpPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                 ctypes.c_int, ctypes.c_uint, ctypes.c_uint, ctypes.c_int,
                                 ctypes.c_int]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                          ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    if not display:
        print("xtest-pointer: no X display", file=sys.stderr)
        return 1
    root = x11.XDefaultRootWindow(display)
    x11.XWarpPointer(display, 0, root, 0, 0, 0, 0, x, y)
    x11.XSync(display, 0)
    if argv[1] == "click":
        time.sleep(0.1)
        xtst.XTestFakeButtonEvent(display, 1, 1, 0)
        x11.XFlush(display)
        time.sleep(0.08)
        xtst.XTestFakeButtonEvent(display, 1, 0, 0)
        x11.XFlush(display)
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
