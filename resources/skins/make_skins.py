#!/usr/bin/python3
"""Writes the shipped skins: one "<file>.skf" per palette (a name line and a Qt
style sheet) and the small pictures each refers to, in a folder of its own
beside the skin file. Run it from anywhere; it writes next to itself."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

SKINS = [
    # file, name, palette
    ("Midnight", "Midnight Green", dict(
        bg="#111417", panel="#1a1f24", panel2="#232a31", edge="#2f3942", text="#d7dee4", dim="#8a96a0",
        accent="#3ddc84", lcd="#7dff9a", lcdbg="#020a04", deck1="#3ddc84", deck2="#35b6ff",
        button="#2a323a", button2="#1c2228", press="#3ddc84", deep="#1d6b41")),
    ("AmberNight", "Amber Night", dict(
        bg="#141110", panel="#1f1a17", panel2="#2a231e", edge="#3d332b", text="#eee2d4", dim="#a39282",
        accent="#ffb000", lcd="#ffbf3a", lcdbg="#0c0700", deck1="#ffb000", deck2="#ff6a3d",
        button="#332a23", button2="#221c17", press="#ffb000", deep="#8a5a00")),
    ("BlueSteel", "Blue Steel", dict(
        bg="#0d1118", panel="#151b26", panel2="#1d2533", edge="#2c3850", text="#dbe6f5", dim="#8797b0",
        accent="#4fc3ff", lcd="#8ff6ff", lcdbg="#00080c", deck1="#4fc3ff", deck2="#c77dff",
        button="#243046", button2="#18202e", press="#4fc3ff", deep="#1d5f85")),
]

TEMPLATE = """name={name}
/* {name}: dark console with {lcdname} LCD panels. */
QWidget {{
  background-color: {bg};
  color: {text};
  selection-background-color: {accent};
  selection-color: #000000;
}}
QToolTip {{ background-color: {panel2}; color: {text}; border: 1px solid {accent}; padding: 3px; }}
QFrame#deckPanel1, QFrame#deckPanel2, QFrame#centrePanel {{
  background-color: {panel};
  border: 1px solid {edge};
  border-radius: 6px;
}}
QFrame#deckPanel1 {{ border-top: 3px solid {deck1}; }}
QFrame#deckPanel2 {{ border-top: 3px solid {deck2}; }}
QFrame#centrePanel {{ background-color: {panel2}; border-top: 3px solid {edge}; }}
QLabel#deckHeading {{ background: transparent; color: {accent}; font-weight: bold; font-size: 10pt; }}
#deckPanel2 QLabel#deckHeading {{ color: {deck2}; }}
#lcdDisplay, #meterPanel {{
  background-color: {lcdbg};
  border: 1px solid {edge};
  border-radius: 3px;
}}
QLabel#lcdDisplay, QLabel#lcdText {{
  background-color: {lcdbg};
  color: {lcd};
  font-family: "DejaVu Sans Mono";
  font-weight: bold;
}}
QLabel#lcdText {{ background: transparent; }}
QLabel {{ background: transparent; color: {text}; }}
QLabel:disabled {{ color: {dim}; }}
QPushButton {{
  background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 {button}, stop:1 {button2});
  color: {text};
  border: 1px solid {edge};
  border-radius: 4px;
  padding: 3px 8px;
  min-height: 16px;
}}
QPushButton:hover {{ border-color: {accent}; }}
QPushButton:pressed, QPushButton:checked {{ background-color: {press}; color: #000000; }}
QPushButton:disabled {{ color: {dim}; border-color: {panel2}; }}
QPushButton#transportButton {{ font-weight: bold; min-width: 28px; }}
QPushButton#prelistenButton:checked {{ background-color: {deck2}; }}
QSlider {{ background: transparent; }}
QSlider::groove:horizontal {{
  height: 6px;
  background: {lcdbg};
  border: 1px solid {edge};
  border-radius: 3px;
}}
QSlider::groove:vertical {{
  width: 6px;
  background: {lcdbg};
  border: 1px solid {edge};
  border-radius: 3px;
}}
QSlider::sub-page:horizontal {{ background: {accent}; border-radius: 3px; }}
QSlider::handle:horizontal {{
  image: url({folder}/handle-h.png);
  width: 14px;
  height: 22px;
  margin: -9px 0;
}}
QSlider::handle:vertical {{
  image: url({folder}/handle-v.png);
  width: 22px;
  height: 14px;
  margin: 0 -9px;
}}
QSlider#crossfader::groove:horizontal {{ height: 10px; border-radius: 5px; }}
QSlider#crossfader::sub-page:horizontal {{ background: {deck1}; }}
QSlider#crossfader::add-page:horizontal {{ background: {deck2}; border-radius: 5px; }}
QTabWidget::pane {{ border: 1px solid {edge}; background: {panel}; }}
QTabBar {{ background: transparent; }}
QTabBar::tab {{
  background: {button2};
  color: {dim};
  border: 1px solid {edge};
  border-bottom: none;
  border-top-left-radius: 5px;
  border-top-right-radius: 5px;
  padding: 5px 16px;
  margin-right: 2px;
}}
QTabBar::tab:selected {{ background: {panel2}; color: {accent}; border-top: 2px solid {accent}; }}
QTabBar::tab:hover {{ color: {text}; }}
QComboBox, QLineEdit, QSpinBox {{
  background-color: {lcdbg};
  color: {lcd};
  border: 1px solid {edge};
  border-radius: 3px;
  padding: 2px 6px;
}}
QComboBox:hover, QLineEdit:focus, QSpinBox:focus {{ border-color: {accent}; }}
QComboBox::drop-down {{ border: none; width: 18px; }}
QComboBox::down-arrow {{ image: url({folder}/arrow-down.png); width: 10px; height: 6px; }}
QComboBox QAbstractItemView {{
  background-color: {panel2};
  color: {text};
  border: 1px solid {accent};
  selection-background-color: {accent};
  selection-color: #000000;
}}
QCheckBox, QRadioButton {{ background: transparent; color: {text}; spacing: 6px; }}
QCheckBox::indicator, QRadioButton::indicator {{
  width: 13px;
  height: 13px;
  background: {lcdbg};
  border: 1px solid {edge};
}}
QCheckBox::indicator {{ border-radius: 2px; }}
QRadioButton::indicator {{ border-radius: 7px; }}
QCheckBox::indicator:checked, QRadioButton::indicator:checked {{ background: {accent}; border-color: {accent}; }}
QGroupBox {{
  border: 1px solid {edge};
  border-radius: 5px;
  margin-top: 10px;
  padding-top: 6px;
}}
QGroupBox::title {{ subcontrol-origin: margin; left: 8px; padding: 0 4px; color: {accent}; }}
QTableView {{
  background-color: {lcdbg};
  alternate-background-color: {panel};
  color: {text};
  gridline-color: {panel2};
  border: 1px solid {edge};
  selection-background-color: {accent};
  selection-color: #000000;
}}
QHeaderView::section {{
  background-color: {panel2};
  color: {dim};
  border: none;
  border-right: 1px solid {edge};
  border-bottom: 1px solid {edge};
  padding: 3px 6px;
  font-weight: bold;
}}
QTableCornerButton::section {{ background-color: {panel2}; border: none; }}
QScrollBar:vertical, QScrollBar:horizontal {{ background: {panel}; border: none; margin: 0; }}
QScrollBar:vertical {{ width: 11px; }}
QScrollBar:horizontal {{ height: 11px; }}
QScrollBar::handle {{ background: {edge}; border-radius: 4px; min-height: 20px; min-width: 20px; }}
QScrollBar::handle:hover {{ background: {accent}; }}
QScrollBar::add-line, QScrollBar::sub-line {{ width: 0; height: 0; }}
QScrollBar::add-page, QScrollBar::sub-page {{ background: none; }}
QProgressBar {{
  background-color: {lcdbg};
  color: {text};
  border: 1px solid {edge};
  border-radius: 3px;
  text-align: center;
}}
QProgressBar::chunk {{ background-color: {deep}; border-right: 2px solid {accent}; border-radius: 2px; }}
QStatusBar {{ background-color: {panel}; color: {dim}; border-top: 1px solid {edge}; }}
QStatusBar QLabel {{ color: {dim}; padding: 0 6px; }}
QStatusBar::item {{ border: none; border-right: 1px solid {edge}; }}
QMenu {{ background-color: {panel2}; color: {text}; border: 1px solid {edge}; }}
QMenu::item:selected {{ background-color: {accent}; color: #000000; }}
"""


def png(path, width, height, pixels):
    """Writes an RGBA picture; pixels(x, y) gives (r, g, b, a)."""
    raw = b"".join(
        b"\x00" + b"".join(struct.pack("BBBB", *pixels(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def rgb(colour):
    return tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))


def handle(width, height, accent, horizontal):
    """A fader cap: a rounded metal block with a coloured centre line."""
    ar, ag, ab = rgb(accent)

    def pixel(x, y):
        if x in (0, width - 1) and y in (0, height - 1):
            return (0, 0, 0, 0)
        if x in (0, width - 1) or y in (0, height - 1):
            return (20, 24, 28, 255)
        along = y / (height - 1) if horizontal else x / (width - 1)
        shade = int(150 - 70 * along)
        mid = (x == width // 2 or x == (width - 1) // 2) if horizontal else (y == height // 2 or y == (height - 1) // 2)
        return (ar, ag, ab, 255) if mid else (shade, shade + 4, shade + 8, 255)

    return pixel


def arrow(width, height, colour):
    r, g, b = rgb(colour)

    def pixel(x, y):
        inside = abs(x - (width - 1) / 2) <= (height - y) * (width / 2) / height
        return (r, g, b, 255) if inside else (0, 0, 0, 0)

    return pixel


def main():
    for stem, name, colours in SKINS:
        folder = stem
        os.makedirs(os.path.join(HERE, folder), exist_ok=True)
        png(os.path.join(HERE, folder, "handle-h.png"), 14, 22, handle(14, 22, colours["accent"], True))
        png(os.path.join(HERE, folder, "handle-v.png"), 22, 14, handle(22, 14, colours["accent"], False))
        png(os.path.join(HERE, folder, "arrow-down.png"), 10, 6, arrow(10, 6, colours["accent"]))
        lcdname = {"#7dff9a": "green", "#ffbf3a": "amber", "#8ff6ff": "cyan"}[colours["lcd"]]
        text = TEMPLATE.format(name=name, folder=folder, lcdname=lcdname, **colours)
        with open(os.path.join(HERE, stem + ".skf"), "w", encoding="utf-8", newline="\n") as out:
            out.write(text)


if __name__ == "__main__":
    main()
