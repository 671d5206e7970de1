#!/usr/bin/env python3
"""Writes what the X screen shows (window manager frames included) as a PNG file.

Usage: xshot.py FILE.png

Used by scripted sessions for a picture of a dialog where the window manager put it.
"""
import ctypes
import ctypes.util
import struct
import sys
import zlib


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage; the rest is not read.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultScreen.argtypes = [ctypes.c_void_p]
    x11.XDisplayWidth.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        print("xshot: no X display", file=sys.stderr)
        return 1
    screen = x11.XDefaultScreen(display)
    width, height = x11.XDisplayWidth(display, screen), x11.XDisplayHeight(display, screen)
    all_planes, z_pixmap = 0xFFFFFFFF, 2
    image = x11.XGetImage(display, x11.XDefaultRootWindow(display), 0, 0, width, height,
                          all_planes, z_pixmap)
    if not image or image.contents.bits_per_pixel != 32:
        print("xshot: only 24-bit screens are read", file=sys.stderr)
        return 1
    shown = image.contents
    stride = shown.bytes_per_line
    data = ctypes.string_at(shown.data, stride * height)
    rows = []
    for y in range(height):
        line = data[y * stride:y * stride + width * 4]
        # BGRX in memory on a little-endian server: swap to RGB.
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows.append(bytes(rgb))
    x11.XCloseDisplay(display)
    with open(argv[1], "wb") as out:
        out.write(png(width, height, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
