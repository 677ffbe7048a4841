#!/usr/bin/python3
"""Regenerates the small sample pictures the image-library tests load.

Every sample shows the same 5 x 3 picture (PIXELS below, top row first), so one table of
expected colours serves all formats. Run it from this folder; it needs ImageMagick, netpbm and
opj_compress. Formats the tools cannot write with the wanted layout are built byte by byte.
"""
import os
import struct
import subprocess
import zlib

PIXELS = [
    [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0)],
    [(255, 255, 0), (0, 255, 255), (255, 0, 255), (128, 128, 128), (255, 0, 0)],
    [(0, 0, 0), (255, 255, 255), (0, 0, 0), (255, 255, 255), (0, 0, 255)],
]
W, H = 5, 3
PALETTE = sorted({p for row in PIXELS for p in row})


def run(*args, out=None):
    if out:
        with open(out, 'wb') as f:
            subprocess.run(args, check=True, stdout=f, stderr=subprocess.DEVNULL)
    else:
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def write(name, data):
    with open(name, 'wb') as f:
        f.write(data)


def bmp(bits, rows, compression=0, header_size=40, palette=PALETTE):
    """A bottom-up BMP; rows are already packed and padded, lowest row first."""
    colours = len(palette) if bits <= 8 else 0
    table = b''
    if bits <= 8:
        table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
        table += b'\0' * (4 * ((1 << bits) - colours))
    data = b''.join(rows)
    info = struct.pack('<IiiHHIIiiII', header_size, W, H, 1, bits, compression, len(data), 11811, 5906,
                       0, 0)
    if header_size > 40:
        # V4/V5: colour masks, colour space 'sRGB', endpoints and gamma, then (V5) intent etc.
        info += struct.pack('<IIII', 0, 0, 0, 0) + b'BGRs' + b'\0' * 36 + b'\0' * 12
        if header_size == 124:
            info += struct.pack('<IIII', 4, 0, 0, 0)
    assert len(info) == header_size
    offset = 14 + header_size + len(table)
    return b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + info + table + data


def png(color_type, rows, bit_depth=8):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    ihdr = struct.pack('>IIBBBBB', W, H, bit_depth, color_type, 0, 0, 0)
    raw = b''.join(b'\0' + row for row in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw))
            + chunk(b'IEND', b''))


def pad(row):
    return row + b'\0' * (-len(row) % 4)


def index_rows():
    return [[PALETTE.index(p) for p in PIXELS[H - 1 - y]] for y in range(H)]


def rle8(rows):
    out = b''
    for row in rows:
        out += b''.join(struct.pack('BB', 1, i) for i in row) + b'\0\0'
    return out[:-2] + b'\0\1'


def rle4(rows):
    out = b''
    for row in rows:
        for i in range(0, len(row), 2):
            pair = row[i:i + 2]
            hi, lo = pair[0], pair[1] if len(pair) > 1 else 0
            out += struct.pack('BB', len(pair), (hi << 4) | lo)
        out += b'\0\0'
    return out[:-2] + b'\0\1'


def main():
    os.chdir(os.path.dirname(os.path.abspath(__file__)))
    ppm = b'P6\n5 3\n255\n' + bytes(c for row in PIXELS for p in row for c in p)
    write('src.ppm', ppm)
    idx = index_rows()
    rgb_rows = [pad(b''.join(struct.pack('BBB', b, g, r) for (r, g, b) in PIXELS[H - 1 - y]))
                for y in range(H)]
    write('rgb24.bmp', bmp(24, rgb_rows))
    write('rgb24.dib', bmp(24, rgb_rows))
    write('v4.bmp', bmp(24, rgb_rows, header_size=108))
    write('v5.bmp', bmp(24, rgb_rows, header_size=124))
    write('pal8.bmp', bmp(8, [pad(bytes(r)) for r in idx]))
    write('pal4.bmp', bmp(4, [pad(bytes((r[i] << 4) | (r[i + 1] if i + 1 < W else 0)
                                        for i in range(0, W, 2))) for r in idx]))
    write('rle8.bmp', bmp(8, [rle8(idx)], compression=1))
    write('rle8.rle', bmp(8, [rle8(idx)], compression=1))
    write('rle4.bmp', bmp(4, [rle4(idx)], compression=2))
    mono_rows = [pad(bytes([sum((1 if PIXELS[H - 1 - y][x] != (0, 0, 0) else 0) << (7 - x)
                                for x in range(W))])) for y in range(H)]
    write('mono.bmp', bmp(1, mono_rows, palette=[(0, 0, 0), (255, 255, 255)]))
    run('convert', 'src.ppm', 'gif.gif')
    run('convert', 'src.ppm', '-type', 'Palette', 'pal8.pcx')
    run('convert', 'src.ppm', '-type', 'TrueColor', 'rgb24.pcx')
    run('ppmtoilbm', 'src.ppm', out='planar.iff')
    run('ppmtoilbm', '-24force', 'src.ppm', out='deep.lbm')
    run('convert', 'src.ppm', '-quality', '100', 'jpg.jpg')
    run('convert', 'src.ppm', '-quality', '100', 'JPEG:jif.jif')
    run('convert', 'src.ppm', '-colorspace', 'gray', 'gray.jpeg')
    run('ppmtotga', '-rgb', '-norle', 'src.ppm', out='rgb.tga')
    run('ppmtotga', '-cmap', 'src.ppm', out='cmap-rle.tga')
    run('convert', 'src.ppm', '-compress', 'none', 'rgb.tif')
    run('convert', 'src.ppm', '-compress', 'lzw', '-type', 'Palette', 'pal.tif')
    run('convert', 'src.ppm', '-define', 'png:color-type=2', 'rgb.png')
    run('convert', 'src.ppm', '-type', 'Palette', 'pal.png')
    run('convert', 'src.ppm', '-depth', '16', '-define', 'png:bit-depth=16', '-define',
        'png:color-type=2', 'rgb48.png')
    run('convert', 'src.ppm', '-colorspace', 'gray', '-depth', '16', '-define',
        'png:bit-depth=16', 'gray16.png')
    run('opj_compress', '-i', 'src.ppm', '-o', 'jp2.jp2', '-n', '1')
    # Transparency: the left column clear, the middle column half-covered red, the rest opaque.
    rgba = [[p + ((0,) if x == 0 else (128,) if x == 2 else (255,)) for x, p in enumerate(row)]
            for row in PIXELS]
    write('rgba.png', png(6, [bytes(c for p in row for c in p) for row in rgba]))
    run('convert', 'src.ppm', '-transparent', 'black', 'transparent.gif')
    os.remove('src.ppm')


if __name__ == '__main__':
    main()
