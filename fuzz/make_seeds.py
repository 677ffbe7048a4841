#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz entries into fuzz/corpus/<entry>/.

The seeds are small valid inputs of each kind: project files, translation tables, texts and
element lists. Pictures are not generated here: fuzz/run takes the test pictures from
tests/data/raster. Run it again after changing how an entry decodes its input.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")


def write(entry, name, data):
    folder = os.path.join(OUT, entry)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# --- project files -------------------------------------------------------------------------

def element(kind, points, chain_pos=0, closes=0):
    pts = list(points) + [(0.0, 0.0)] * (8 - len(points))
    data = struct.pack("<ii", chain_pos, kind)
    for x, y in pts:
        data += struct.pack("<dd", x, y)
    data += bytes([closes, 0, 0, 0, 0, 0, 0, 0])
    assert len(data) == 144
    return data


def project(elements, width, height, bits, pen=0x0000FF, line_width=1.0):
    colors = 1 << bits if bits <= 8 else 0
    header_size = 40 + 4 * colors
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 2835, 2835, colors, 0)
    palette = b"".join(struct.pack("<BBBB", i % 256, (i * 7) % 256, (i * 13) % 256, 0)
                       for i in range(colors))
    stride = (width * bits + 31) // 32 * 4
    rows = bytes((i * 37) % 256 for i in range(stride * height))
    return (struct.pack("<i", len(elements)) + b"".join(elements)
            + struct.pack("<ii", header_size, colors) + header + palette + rows
            + struct.pack("<Id", pen, line_width))


def project_seeds():
    line = element(0, [(1, 2), (30, 40)])
    quad = element(1, [(30, 40), (50, 10), (5, 5)], chain_pos=1)
    cubic = element(2, [(5, 5), (60, 60), (0, 20), (40, 0)], chain_pos=2, closes=1)
    ellipse = element(66, [(10, 10), (20, 30)])
    write("project", "empty-24bit", project([], 1, 1, 24))
    write("project", "chain-8bit", project([line, quad, cubic], 3, 2, 8, 0x00FF00, 2.5))
    write("project", "ellipse-1bit", project([ellipse], 9, 3, 1))
    write("project", "mixed-4bit", project([line, ellipse, line], 5, 4, 4, 0, 0.0))


# --- translation tables --------------------------------------------------------------------

def dbf(fields, records, deleted=()):
    record_length = 1 + sum(w for _, w in fields)
    header_length = 32 + 32 * len(fields) + 1
    head = struct.pack("<BBBBIHH", 3, 126, 12, 9, len(records), header_length, record_length)
    head += bytes(17) + bytes([0x57]) + bytes(2)
    desc = b""
    for name, width in fields:
        desc += name.encode().ljust(11, b"\0") + b"C" + bytes(4) + bytes([width, 0]) + bytes(14)
    body = b""
    for n, values in enumerate(records, start=1):
        body += b"*" if n in deleted else b" "
        for (_, width), value in zip(fields, list(values) + [b""] * len(fields)):
            body += value[:width].ljust(width, b" ")
    return head + desc + b"\r" + body + b"\x1a"


def table_seeds():
    full = [("language%d" % i, 255) for i in range(1, 20)]
    records = [[b"Datei", b"File"], [b"Linie", b"  Line \t"], [b"\xd6ffnen", b"Open"],
               [b"x" * 246 + b"#0badf00d", b"long"]]
    write("translation_table", "empty-rw", b"\x80" + dbf(full, []))
    write("translation_table", "records-ro", b"\x01" + dbf(full, records, deleted={2}))
    write("translation_table", "records-rw-messages", b"\xc3" + dbf(full, records))
    narrow = [("language1", 8), ("language2", 4)]
    write("translation_table", "narrow-rw", b"\x83" + dbf(narrow, [[b"Datei", b"Fil"]]))


def text_seeds():
    for name, options, text in [
            ("known-ro", 0x01, "Datei"), ("blanks-rw", 0x81, "  Linie  "),
            ("long-rw", 0x81, "x" * 300), ("unknown-rw", 0x80, "Neuer Text"),
            ("message", 0x02, "Datei %s kann nicht erstellt werden")]:
        write("translate_text", name, bytes([options]) + text.encode("utf-8"))
    write("translate_text", "utf16-rw", bytes([0xC1]) + "\u00d6ffnen \u20ac".encode("utf-16-le"))


# --- element lists for the DXF exports ------------------------------------------------------
# The entries read: a parameter byte, for the CNC export an arc-search byte, then per element a
# kind byte (bits 0-2 kind, 8 closes the chain, 16 continues from the previous end) and its
# points, each coordinate a mode byte below 0xE0 followed by a 16-bit value in eighths.

def coord(v):
    return b"\x00" + struct.pack("<h", int(v * 8))


def pts(*points):
    return b"".join(coord(x) + coord(y) for x, y in points)


def elements_seeds():
    line = b"\x00" + pts((0, 0), (100, 0), (0, 0), (0, 0))
    chain = (b"\x00" + pts((0, 0), (100, 0), (0, 0), (0, 0))
             + b"\x12" + pts((100, 100), (150, 50), (0, 0))
             + b"\x1b" + pts((0, 100), (60, 160), (20, 140)))
    curves = (b"\x02" + pts((0, 0), (50, 50), (50, -50), (0, 0))
              + b"\x03" + pts((10, 10), (90, 10), (30, 90), (70, -40)))
    ellipse = b"\x05" + pts((10, 20), (110, 80), (0, 0), (0, 0))
    straight = b"\x03" + pts((0, 0), (30, 0), (10, 0), (20, 0))
    # The metafile entry reads a zoom and width byte and three colour bytes where the DXF
    # entries read their parameters.
    for entry, prefix in (("spline_dxf", b""), ("cnc_dxf", b"\x00"), ("emf", b"\xff\x00\x00")):
        write(entry, "line", b"\x00" + prefix + line)
        write(entry, "closed-chain-mm", b"\x08" + prefix + chain)
        write(entry, "curves-300dpi", b"\x47" + prefix + curves)
        write(entry, "ellipse", b"\x20" + prefix + ellipse)
        write(entry, "straight-cubic", b"\x30" + prefix + straight)


# --- editing event lists -------------------------------------------------------------------

# Operation numbers of the editing entry, in the order of its Op enumeration.
TOOL, CTRL_DOWN, CTRL_UP, DEACTIVATE, PRESS, RELEASE, MOVE, CLOSE, BREAK, NEW_LINES, ZOOM, \
    SCROLL, WHEEL, UNDO, REDO, WIDTH, COLOUR, RECOVERY = range(18)
LINIE1, BEZIERBTN3, BEZIER1, BEZIER2, CIRCLE, ZEIGER1, DELBTN, VERSCHIEB = range(2, 10)
GRID, NODE, STEP = 0x00, 0x10, 0x20


def ev(op, arg=0, x=0, y=0):
    return bytes([op, arg, x, y])


def click(x, y):
    return ev(PRESS, GRID, x, y) + ev(RELEASE, GRID, x, y)


def editing_seeds():
    history = bytes([99])  # a history of 100 steps
    chain = (ev(TOOL, LINIE1) + click(40, 40) + ev(MOVE, GRID, 60, 40) + click(80, 40)
             + click(80, 70) + ev(CLOSE))
    write("editing", "closed-chain-undone", history + chain + ev(UNDO) + ev(UNDO) + ev(REDO))
    curves = (ev(TOOL, BEZIER2) + click(30, 30) + click(90, 30) + click(50, 10) + click(70, 60)
              + ev(TOOL, BEZIERBTN3) + click(100, 80) + click(110, 90) + click(120, 60)
              + ev(PRESS, GRID | 2, 0, 0) + ev(TOOL, CIRCLE) + ev(CTRL_DOWN, 0)
              + click(20, 70) + click(50, 90) + ev(CTRL_UP, 0))
    write("editing", "curves-and-circle", history + curves + ev(RECOVERY) + ev(WIDTH, 0, 1, 44))
    drag = (ev(TOOL, ZEIGER1) + ev(PRESS, NODE, 0, 1) + ev(MOVE, STEP, 5, 3)
            + ev(ZOOM, 0) + ev(MOVE, STEP, 250, 4) + ev(RELEASE, STEP, 0, 0))
    write("editing", "node-drag-while-zooming", history + chain + drag + ev(UNDO))
    area = (ev(TOOL, VERSCHIEB) + click(30, 30) + ev(MOVE, GRID, 30, 30) + ev(MOVE, STEP, 9, 9)
            + ev(UNDO) + ev(TOOL, DELBTN) + ev(PRESS, GRID, 70, 30) + ev(MOVE, STEP, 20, 20)
            + ev(RELEASE, GRID, 90, 50) + ev(SCROLL, 0, 0, 40) + ev(WHEEL, 1))
    write("editing", "area-move-then-delete", bytes([3]) + chain + area + ev(COLOUR, 0, 255, 0))


def main():
    project_seeds()
    table_seeds()
    text_seeds()
    elements_seeds()
    editing_seeds()
    return 0


if __name__ == "__main__":
    sys.exit(main())
