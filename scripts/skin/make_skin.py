#!/usr/bin/env python3
"""Writes the generated parts of the skin: the keyboard's and the mouse's pictures with their
key buttons, the key caps, and the device and window icons, all as SVG so that they stay
sharp at every scale. Run from the repository root; the output is committed."""

import os

SKIN = os.path.join(os.path.dirname(__file__), "..", "..", "data", "skin")
ACCENT = "#1EA7FF"
MUTED = "#8B949E"
TEXT = "#C9D1D9"


def write(rel, text):
    path = os.path.join(SKIN, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def svg(w, h, body, stretch=False):
    aspect = ' preserveAspectRatio="none"' if stretch else ""
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}"{aspect}>\n{body}\n</svg>\n')


# ---------------------------------------------------------------- keyboard picture
U = 34          # one key unit in pixels at 96 DPI
GAP = 4         # space between caps
PAD = 16        # chassis margin around the keys
TOP = 0.75      # the media strip above the function row, in units

# position -> (x, y, w, h, legend) in units; positions not listed have no key of their own
K = {}


def row(y, start_pos, start_x, items):
    x = start_x
    pos = start_pos
    for item in items:
        if isinstance(item, tuple):
            legend, w = item
        else:
            legend, w = item, 1
        if legend is not None:
            K[pos] = (x, y, w, 1, legend)
        pos += 1
        x += w


# function row
K[0] = (0, 0, 1, 1, "Esc")
for i in range(12):
    group = i // 4
    K[1 + i] = (2 + i + group * 0.5, 0, 1, 1, f"F{i + 1}")
for i, legend in enumerate(["PrtSc", "ScrLk", "Pause"]):
    K[13 + i] = (15.25 + i, 0, 1, 1, legend)
K[16] = (18.5, 0, 1, 1, "GM")
K[17] = (19.5, 0, 1, 1, "Mode")
# number row
y = 1.25
row(y, 21, 0, ["`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "=", ("Back", 2)])
for i, legend in enumerate(["Ins", "Home", "PgUp"]):
    K[35 + i] = (15.25 + i, y, 1, 1, legend)
for i, legend in enumerate(["Num", "/", "*", "-"]):
    K[38 + i] = (18.5 + i, y, 1, 1, legend)
# top letter row
y = 2.25
row(y, 42, 0, [("Tab", 1.5), "Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "[", "]", ("\\", 1.5)])
for i, legend in enumerate(["Del", "End", "PgDn"]):
    K[56 + i] = (15.25 + i, y, 1, 1, legend)
for i, legend in enumerate(["7", "8", "9"]):
    K[59 + i] = (18.5 + i, y, 1, 1, legend)
K[119] = (21.5, y, 1, 2, "+")
# home row
y = 3.25
row(y, 63, 0, [("Caps", 1.75), "A", "S", "D", "F", "G", "H", "J", "K", "L", ";", "'", ("Enter", 2.25)])
for i, legend in enumerate(["4", "5", "6"]):
    K[76 + i] = (18.5 + i, y, 1, 1, legend)
# bottom letter row
y = 4.25
row(y, 84, 0, [("Shift", 2.25), "Z", "X", "C", "V", "B", "N", "M", ",", ".", "/", ("Shift", 2.75)])
K[96] = (16.25, y, 1, 1, "\u2191")
for i, legend in enumerate(["1", "2", "3"]):
    K[97 + i] = (18.5 + i, y, 1, 1, legend)
K[118] = (21.5, y, 1, 2, "Ent")
# space row
y = 5.25
K[105] = (0, y, 1.25, 1, "Ctrl")
K[106] = (1.25, y, 1.25, 1, "Win")
K[107] = (2.5, y, 1.25, 1, "Alt")
K[108] = (3.75, y, 6.25, 1, "")
K[109] = (10, y, 1, 1, "Alt")
K[110] = (11, y, 1, 1, "Fn")
K[125] = (12, y, 1, 1, "Win")
K[111] = (13, y, 1, 1, "Menu")
K[112] = (14, y, 1, 1, "Ctrl")
for i, legend in enumerate(["\u2190", "\u2193", "\u2192"]):
    K[113 + i] = (15.25 + i, y, 1, 1, legend)
K[116] = (18.5, y, 2, 1, "0")
K[117] = (20.5, y, 1, 1, ".")
# media keys: a strip of small round keys above the number pad
for i in range(5):
    K[120 + i] = (18.6 + i * 0.78, -TOP, 0.62, 0.62, "")

WIDTH_UNITS = 22.5
HEIGHT_UNITS = 6.25 + TOP
PIC_W = int(WIDTH_UNITS * U + 2 * PAD)
PIC_H = int(HEIGHT_UNITS * U + 2 * PAD)


def cap_name(w, h):
    return f"k{int(round(w * 100))}x{int(round(h * 100))}"


def keycap(wu, hu, state):
    w = wu * U - GAP
    h = hu * U - GAP
    r = 5 if wu >= 1 else w / 2
    top, bottom, edge = {
        "normal": ("#2A313B", "#1D232B", "#39424E"),
        "hot": ("#313A46", "#232A33", ACCENT),
        "pushed": ("#1A2028", "#161B22", ACCENT),
    }[state]
    body = (f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/>'
            f'</linearGradient></defs>\n'
            f'<rect x="0.5" y="0.5" width="{w - 1:.2f}" height="{h - 1:.2f}" rx="{r:.2f}" '
            f'fill="url(#g)" stroke="{edge}" stroke-width="1"/>\n'
            f'<rect x="3" y="{h - 4:.2f}" width="{w - 6:.2f}" height="1.2" rx="0.6" '
            f'fill="#000000" fill-opacity="0.25"/>')
    return svg(round(w, 2), round(h, 2), body)


def keylight(wu, hu):
    w = wu * U - GAP
    h = hu * U - GAP
    r = 5 if wu >= 1 else w / 2
    # Filled with the light's colour: a faint rim and a brighter glow along the cap's edge.
    return svg(round(w, 2), round(h, 2),
               f'<rect x="1" y="1" width="{w - 2:.2f}" height="{h - 2:.2f}" rx="{r:.2f}" '
               f'fill="none" stroke="#FFFFFF" stroke-opacity="0.35" stroke-width="1.2"/>\n'
               f'<rect x="{min(4, w / 4):.2f}" y="{h - 3.2:.2f}" width="{w - 2 * min(4, w / 4):.2f}" '
               f'height="1.6" rx="0.8" fill="#FFFFFF" fill-opacity="0.85"/>')


def keyedit(wu, hu):
    w = wu * U - GAP
    h = hu * U - GAP
    r = 5 if wu >= 1 else w / 2
    # The key being edited: filled with the accent and ringed in white, so that it never
    # reads as the outline-and-dot mark of a reassigned key.
    return svg(round(w, 2), round(h, 2),
               f'<rect x="1" y="1" width="{w - 2:.2f}" height="{h - 2:.2f}" rx="{r:.2f}" '
               f'fill="{ACCENT}" fill-opacity="0.30" stroke="#FFFFFF" stroke-width="2"/>')


sizes = sorted({(v[2], v[3]) for v in K.values()})
for wu, hu in sizes:
    name = cap_name(wu, hu)
    for state in ("normal", "hot", "pushed"):
        write(f"common/key/{name}_{state}.svg", keycap(wu, hu, state))
    write(f"common/key/{name}_light.svg", keylight(wu, hu))
    write(f"common/key/{name}_editing.svg", keyedit(wu, hu))


def key_button(pos, x, y, w, h, legend, prefix="key"):
    left = PAD + x * U + GAP / 2
    top = PAD + (y + TOP) * U + GAP / 2
    right = left + w * U - GAP
    bottom = top + h * U - GAP
    cap = cap_name(w, h)
    font = 10 if len(legend) > 3 else 9
    return (f'      <DeviceKeyButton name="{prefix}_{pos}" userdata="light_{pos}" float="true" '
            f'pos="{left:.0f},{top:.0f},{right:.0f},{bottom:.0f}" text="{escape(legend)}" '
            f'font="{font}" textcolor="#FFC9D1D9" hottextcolor="#FFFFFFFF" '
            f'normalimage="common/key/{cap}_normal.svg" hotimage="common/key/{cap}_hot.svg" '
            f'pushedimage="common/key/{cap}_pushed.svg" lightimage="common/key/{cap}_light.svg" '
            f'tooltip="{escape(legend) or "Key " + str(pos)}"/>')


def escape(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


# chassis
chassis = (f'<defs><linearGradient id="c" x1="0" y1="0" x2="0" y2="1">'
           f'<stop offset="0" stop-color="#1A2029"/><stop offset="1" stop-color="#12161C"/>'
           f'</linearGradient></defs>\n'
           f'<rect x="1" y="1" width="{PIC_W - 2}" height="{PIC_H - 2}" rx="14" fill="url(#c)" '
           f'stroke="#2A323C" stroke-width="2"/>\n'
           f'<rect x="{PAD - 6}" y="{PIC_H - 5}" width="{PIC_W - 2 * PAD + 12}" height="2" rx="1" '
           f'fill="{ACCENT}" fill-opacity="0.55"/>\n'
           f'<text x="{PAD + 2}" y="{PAD + TOP * U - 10}" font-family="Noto Sans" font-size="11" '
           f'font-weight="bold" letter-spacing="3" fill="#4A5562">HALVEK</text>')
write("common/device/keyboard_body.svg", svg(PIC_W, PIC_H, chassis))

buttons = "\n".join(key_button(p, *K[p]) for p in sorted(K))
write("XML/DeviceXml/keyboard_picture.xml", f"""<?xml version="1.0" encoding="utf-8"?>
<!-- Generated by scripts/skin/make_skin.py: the keyboard's picture. Key n is the button
     "key_n" at the place of key position n; its light is "light_n". -->
<SelectPanel name="keyboard_device_key_light" width="{PIC_W}" height="{PIC_H}" bkimage="common/device/keyboard_body.svg">
{buttons}
</SelectPanel>
""")

# ---------------------------------------------------------------- mouse picture
MW, MH = 190, 294
mouse_body = f'''<defs><linearGradient id="m" x1="0" y1="0" x2="0" y2="1">
<stop offset="0" stop-color="#222A34"/><stop offset="1" stop-color="#12161C"/></linearGradient></defs>
<path d="M95 6 C150 6 178 52 180 120 L182 200 C182 256 146 288 95 288 C44 288 8 256 8 200 L10 120 C12 52 40 6 95 6 Z" fill="url(#m)" stroke="#2A323C" stroke-width="2"/>
<path d="M95 8 L95 118" stroke="#2A323C" stroke-width="2"/>
<path d="M40 250 Q95 272 150 250" stroke="{ACCENT}" stroke-opacity="0.6" stroke-width="2" fill="none"/>'''
write("common/device/mouse_body.svg", svg(MW, MH, mouse_body))
mouse_keys = [  # position, left, top, right, bottom, legend
    (0, 22, 28, 88, 112, "L"), (1, 102, 28, 168, 112, "R"), (2, 84, 44, 106, 70, "M"),
    (9, 84, 22, 106, 42, "\u25B2"), (10, 84, 72, 106, 92, "\u25BC"),
    (5, 84, 98, 106, 114, "+"), (6, 84, 116, 106, 132, "-"), (7, 80, 140, 110, 160, "DPI"),
    (3, 4, 132, 18, 168, "4"), (4, 4, 172, 18, 208, "5"), (8, 70, 236, 120, 254, "GM"),
]
mb = []
for pos, l, t, r, b, legend in mouse_keys:
    mb.append(f'      <DeviceKeyButton name="key_{pos}" userdata="light_{pos}" float="true" '
              f'pos="{l},{t},{r},{b}" text="{escape(legend)}" font="9" textcolor="#FF8B949E" '
              f'hottextcolor="#FFFFFFFF" hotbkcolor="#331EA7FF" tooltip="{escape(legend)}"/>')
write("XML/DeviceXml/mouse_picture.xml", f"""<?xml version="1.0" encoding="utf-8"?>
<!-- Generated by scripts/skin/make_skin.py: the mouse's picture. -->
<SelectPanel name="mouse_device_key_light" width="{MW}" height="{MH}" bkimage="common/device/mouse_body.svg">
{chr(10).join(mb)}
</SelectPanel>
""")

# ---------------------------------------------------------------- icons
GLYPHS = {
    "kb": '<rect x="3" y="9" width="26" height="14" rx="2.5" fill="none" stroke="{c}" stroke-width="1.8"/>'
          '<path d="M7 13h2M11 13h2M15 13h2M19 13h2M23 13h2M8 17h2M12 17h8M22 17h2" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>',
    "ms": '<rect x="9" y="4" width="14" height="24" rx="7" fill="none" stroke="{c}" stroke-width="1.8"/>'
          '<path d="M16 5v7M9.5 12h13" stroke="{c}" stroke-width="1.6"/>',
    "hard_mp": '<rect x="4" y="8" width="24" height="16" rx="3" fill="none" stroke="{c}" stroke-width="1.8"/>'
               '<path d="M7 21h18" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>',
    "soft_mp": '<path d="M5 9h22v12c0 2-2 3-4 3H9c-2 0-4-1-4-3z" fill="none" stroke="{c}" stroke-width="1.8"/>'
               '<path d="M9 14h14" stroke="{c}" stroke-width="1.4" stroke-dasharray="2 2"/>',
    "hd": '<path d="M6 19v-4a10 10 0 0 1 20 0v4" fill="none" stroke="{c}" stroke-width="1.8"/>'
          '<rect x="4" y="17" width="6" height="9" rx="2" fill="none" stroke="{c}" stroke-width="1.8"/>'
          '<rect x="22" y="17" width="6" height="9" rx="2" fill="none" stroke="{c}" stroke-width="1.8"/>',
    "hub": '<circle cx="16" cy="16" r="4" fill="none" stroke="{c}" stroke-width="1.8"/>'
           '<path d="M16 4v8M16 20v8M4 16h8M20 16h8" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>',
    "unknow": '<rect x="5" y="5" width="22" height="22" rx="4" fill="none" stroke="{c}" stroke-width="1.8"/>'
              '<path d="M13 13a3 3 0 1 1 4 3c-1 .5-1 1-1 2M16 21v.5" stroke="{c}" stroke-width="1.8" stroke-linecap="round" fill="none"/>',
}
LINK = '<circle cx="26" cy="6" r="5" fill="{c}"/><path d="M23.5 6h5M26 3.5v5" stroke="#0E1116" stroke-width="1.6"/>'
for prefix, glyph in GLYPHS.items():
    for state, colour, synchro in [("normal", MUTED, False), ("selected", ACCENT, False),
                                   ("synchro_normal", MUTED, True), ("synchro_selected", ACCENT, True)]:
        body = glyph.format(c=colour) + (LINK.format(c=ACCENT) if synchro else "")
        write(f"common/device_ico/{prefix}_device_{state}.svg", svg(32, 32, body))

ICONS = {
    "logo": (28, 28, f'<path d="M14 2 L25 8.5 V19.5 L14 26 L3 19.5 V8.5 Z" fill="none" stroke="{ACCENT}" stroke-width="2"/>'
                     f'<path d="M9.5 9 V19 M18.5 9 V19 M9.5 14 H18.5" stroke="#E6EDF3" stroke-width="2.2" stroke-linecap="round"/>'),
    "close": (16, 16, '<path d="M4 4l8 8M12 4l-8 8" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>'),
    "min": (16, 16, '<path d="M3.5 8.5h9" stroke="{c}" stroke-width="1.6" stroke-linecap="round"/>'),
    "max": (16, 16, '<rect x="3.5" y="3.5" width="9" height="9" rx="1.5" fill="none" stroke="{c}" stroke-width="1.5"/>'),
    "restore": (16, 16, '<rect x="3" y="5.5" width="7.5" height="7.5" rx="1.2" fill="none" stroke="{c}" stroke-width="1.4"/>'
                        '<path d="M5.5 3h6.3c.7 0 1.2.5 1.2 1.2v6.3" fill="none" stroke="{c}" stroke-width="1.4"/>'),
    "settings": (16, 16, '<circle cx="8" cy="8" r="2.4" fill="none" stroke="{c}" stroke-width="1.5"/>'
                         '<path d="M8 1.5v2M8 12.5v2M1.5 8h2M12.5 8h2M3.4 3.4l1.4 1.4M11.2 11.2l1.4 1.4M3.4 12.6l1.4-1.4M11.2 4.8l1.4-1.4" stroke="{c}" stroke-width="1.5" stroke-linecap="round"/>'),
    "skin": (16, 16, '<path d="M8 2a6 6 0 1 0 0 12c1 0 1.5-.6 1.5-1.3 0-1-.8-1.2-.8-2S9.4 9.5 10.5 9.5H12a2.5 2.5 0 0 0 2.5-2.5C14.5 4.2 11.6 2 8 2z" fill="none" stroke="{c}" stroke-width="1.4"/>'
                     '<circle cx="5" cy="7" r="1" fill="{c}"/><circle cx="8" cy="5" r="1" fill="{c}"/><circle cx="11" cy="6.5" r="1" fill="{c}"/>'),
    "prev": (16, 16, '<path d="M10 3.5L5.5 8l4.5 4.5" fill="none" stroke="{c}" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>'),
    "next": (16, 16, '<path d="M6 3.5L10.5 8 6 12.5" fill="none" stroke="{c}" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>'),
    "sync": (16, 16, '<path d="M3 8a5 5 0 0 1 8.5-3.5L13 6M13 8a5 5 0 0 1-8.5 3.5L3 10" fill="none" stroke="{c}" stroke-width="1.5" stroke-linecap="round"/>'
                     '<path d="M13 2.5V6H9.5M3 13.5V10h3.5" fill="none" stroke="{c}" stroke-width="1.5" stroke-linecap="round" stroke-linejoin="round"/>'),
    "check": (16, 16, '<path d="M3.5 8.5l3 3 6-7" fill="none" stroke="{c}" stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>'),
}
for name, (w, h, body) in ICONS.items():
    if "{c}" in body:
        write(f"common/icons/{name}.svg", svg(w, h, body.format(c=MUTED)))
        write(f"common/icons/{name}_hot.svg", svg(w, h, body.format(c="#FFFFFF")))
        write(f"common/icons/{name}_accent.svg", svg(w, h, body.format(c=ACCENT)))
    else:
        write(f"common/icons/{name}.svg", svg(w, h, body))

# the no-device illustration: a cable waiting for its device
write("common/nodevice.svg", svg(160, 110, f'''<rect x="20" y="36" width="120" height="50" rx="9" fill="#161B22" stroke="#2A323C" stroke-width="2"/>
<path d="M34 50h8M48 50h8M62 50h8M76 50h8M90 50h8M104 50h8M118 50h6M38 62h8M52 62h40M98 62h8M112 62h10M42 74h76" stroke="#30363D" stroke-width="5" stroke-linecap="round"/>
<path d="M80 36 V22 C80 12 92 10 100 10 H150" fill="none" stroke="{ACCENT}" stroke-width="3" stroke-dasharray="6 5" stroke-linecap="round"/>
<circle cx="80" cy="98" r="4" fill="{ACCENT}" fill-opacity="0.35"/>'''))

# tile card and the power states
for state, stroke, fill in [("normal", "#2A323C", "#161B22"), ("hot", "#3A4452", "#1A2029"),
                            ("selected", ACCENT, "#14202C")]:
    write(f"common/tile_{state}.svg",
          svg(176, 56, f'<rect x="1" y="1" width="174" height="54" rx="10" fill="{fill}" '
                       f'stroke="{stroke}" stroke-width="{2 if state == "selected" else 1.2}"/>',
              stretch=True))
BATTERY = ('<rect x="2" y="5" width="22" height="12" rx="2.5" fill="none" stroke="{c}" stroke-width="1.6"/>'
           '<rect x="24.5" y="8.5" width="2.5" height="5" rx="1" fill="{c}"/>')
write("power/powered.svg", svg(28, 22, BATTERY.format(c=MUTED) + f'<rect x="4.5" y="7.5" width="17" height="7" rx="1" fill="{MUTED}"/>'))
write("power/power.svg", svg(28, 22, BATTERY.format(c=ACCENT) + f'<rect x="4.5" y="7.5" width="17" height="7" rx="1" fill="{ACCENT}"/>'))
write("power/powering.svg", svg(28, 22, BATTERY.format(c=ACCENT) + f'<path d="M14 6.5l-4 5h4l-2 4.5 5-6h-4l2-3.5z" fill="{ACCENT}"/>'))
write("power/wuxian_powering.svg", svg(28, 22, BATTERY.format(c=ACCENT) + f'<path d="M14 6.5l-4 5h4l-2 4.5 5-6h-4l2-3.5z" fill="#FFFFFF"/>'))
write("power/wireless.svg", svg(20, 16, f'<path d="M2 6a11.5 11.5 0 0 1 16 0M5 9a7 7 0 0 1 10 0M8 12a2.8 2.8 0 0 1 4 0" fill="none" stroke="{MUTED}" stroke-width="1.6" stroke-linecap="round"/>'))
# tab underline for the selected function tab
write("common/tab_selected.svg", svg(100, 40, f'<rect x="0" y="37" width="100" height="3" rx="1.5" fill="{ACCENT}"/>', stretch=True))
write("common/tab_hot.svg", svg(100, 40, '<rect x="0" y="38" width="100" height="2" rx="1" fill="#3A4452"/>', stretch=True))
# button cards (accent and plain), stretched
write("common/btn_accent.svg", svg(100, 32, f'<rect x="0.5" y="0.5" width="99" height="31" rx="6" fill="{ACCENT}"/>', stretch=True))
write("common/btn_accent_hot.svg", svg(100, 32, '<rect x="0.5" y="0.5" width="99" height="31" rx="6" fill="#4DBBFF"/>', stretch=True))
write("common/btn_plain.svg", svg(100, 32, '<rect x="0.5" y="0.5" width="99" height="31" rx="6" fill="#1E252E" stroke="#2A323C"/>', stretch=True))
write("common/btn_plain_hot.svg", svg(100, 32, '<rect x="0.5" y="0.5" width="99" height="31" rx="6" fill="#262E38" stroke="#3A4452"/>', stretch=True))
write("common/panel.svg", svg(100, 100, '<rect x="0.5" y="0.5" width="99" height="99" rx="10" fill="#12161C" stroke="#222A33"/>', stretch=True))
write("common/icons/status_dot.svg", svg(8, 8, f'<circle cx="4" cy="4" r="3.5" fill="{ACCENT}"/>'))
write("common/device/mousepad_body.svg", svg(420, 240, f'<rect x="2" y="2" width="416" height="236" rx="18" fill="#141920" stroke="#2A323C" stroke-width="2"/><rect x="10" y="10" width="400" height="220" rx="12" fill="none" stroke="{ACCENT}" stroke-opacity="0.5" stroke-width="2"/>'))
write("common/device/headset_body.svg", svg(240, 240, f'<path d="M40 150 V120 A80 80 0 0 1 200 120 V150" fill="none" stroke="#2A323C" stroke-width="14" stroke-linecap="round"/><rect x="22" y="135" width="50" height="80" rx="18" fill="#1A2029" stroke="#2A323C" stroke-width="2"/><rect x="168" y="135" width="50" height="80" rx="18" fill="#1A2029" stroke="#2A323C" stroke-width="2"/><path d="M47 150 V200 M193 150 V200" stroke="{ACCENT}" stroke-opacity="0.6" stroke-width="3" stroke-linecap="round"/>'))
print(f"keyboard picture {PIC_W}x{PIC_H}, {len(K)} keys, {len(sizes)} cap sizes")
