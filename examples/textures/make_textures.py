#!/usr/bin/env python3
"""Writes the small RGBA textures of the bundled examples, and a backdrop
for pyrelune-run's --background-image as PNG and as DXT1-compressed DDS.

Only the standard library is used (zlib and struct), and every image is a
function of its pixel coordinates and a fixed seed, so running the script
again reproduces the committed files byte for byte.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(name, width, height, pixel):
    """pixel(x, y) gives (r, g, b, a) as floats from 0 to 1."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            rows.extend(round(max(0.0, min(1.0, c)) * 255) for c in pixel(x, y))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    data = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data + png_chunk(b"IEND", b""))


def radius(x, y, size):
    """Distance of the pixel centre from the image centre, 1 at the edge."""
    half = size / 2.0
    return math.hypot((x + 0.5 - half) / half, (y + 0.5 - half) / half)


def lattice(ix, iy, seed):
    """A repeatable pseudo-random value in [0, 1) for a lattice point."""
    h = (ix * 374761393 + iy * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return (h ^ (h >> 16)) / 4294967296.0


def value_noise(x, y, cell, seed, period):
    """Smooth noise that tiles every `period` cells."""
    fx, fy = x / cell, y / cell
    ix, iy = int(math.floor(fx)), int(math.floor(fy))
    tx, ty = fx - ix, fy - iy
    sx, sy = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)

    def corner(dx, dy):
        return lattice((ix + dx) % period, (iy + dy) % period, seed)

    top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * sx
    bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * sx
    return top + (bottom - top) * sy


def fractal(x, y, size, seed):
    total, weight, cell = 0.0, 0.5, size / 4.0
    for octave in range(3):
        total += weight * value_noise(x, y, cell, seed + octave, int(size / cell))
        weight, cell = weight / 2.0, cell / 2.0
    return total / 0.875


def flame(x, y):
    falloff = max(0.0, 1.0 - radius(x, y, 64)) ** 1.5
    return (1.0, 0.85 + 0.15 * falloff, 0.6 + 0.4 * falloff, falloff)


def spark(x, y):
    r = radius(x, y, 32)
    core = max(0.0, 1.0 - r * 2.5)
    glow = max(0.0, 1.0 - r) ** 3
    return (1.0, 0.9, 0.6 + 0.4 * core, min(1.0, core + glow))


def smoke_frame(seed):
    def pixel(x, y):
        edge = max(0.0, 1.0 - radius(x, y, 64)) ** 1.2
        shade = 0.55 + 0.35 * fractal(x, y, 64, seed)
        return (shade, shade, shade, edge * (0.4 + 0.6 * fractal(x, y, 64, seed + 7)))
    return pixel


def haze(x, y):
    """Red and green carry the offset around mid-grey; alpha fades the edge."""
    edge = max(0.0, 1.0 - radius(x, y, 64))
    return (fractal(x, y, 64, 31), fractal(x, y, 64, 47), 0.5, edge)


def expand565(code):
    """The 8-bit (r, g, b) a decoder makes of an RGB565 colour."""
    r, g, b = code >> 11, (code >> 5) & 0x3F, code & 0x1F
    return ((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2))


def dxt1_block(codes):
    """A DXT1 block of 16 RGB565 codes, row by row, holding at most two
    colours: both are end points, so the block decodes without loss."""
    c0, c1 = max(codes), min(codes)
    indices = 0
    for i, code in enumerate(codes):
        indices |= (0 if code == c0 else 1) << (2 * i)
    return struct.pack("<HHI", c0, c1, indices)


def write_dds_dxt1(name, width, height, code_at):
    """code_at(x, y) gives an RGB565 code; sides are multiples of 4."""
    blocks = b"".join(
        dxt1_block([code_at(bx + i % 4, by + i // 4) for i in range(16)])
        for by in range(0, height, 4) for bx in range(0, width, 4))
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000  # caps, height, width, pixel format, linear size
    header = struct.pack("<4sIIIIIII44x", b"DDS ", 124, flags, height, width, len(blocks), 0, 1)
    pixel_format = struct.pack("<II4s20x", 32, 0x4, b"DXT1")  # FourCC
    caps = struct.pack("<I16x", 0x1000)  # a texture
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(header + pixel_format + caps + blocks)


BACKDROP_WIDTH, BACKDROP_HEIGHT = 128, 96
BACKDROP_LIGHT = (31 << 11) | (58 << 5) | 22  # warm cream
BACKDROP_DARK = (6 << 11) | (16 << 5) | 12  # slate blue


def backdrop_code(x, y):
    """An 8-pixel checker: heat haze bends its straight edges visibly."""
    return BACKDROP_LIGHT if (x // 8 + y // 8) % 2 == 0 else BACKDROP_DARK


def backdrop(x, y):
    return tuple(c / 255.0 for c in expand565(backdrop_code(x, y))) + (1.0,)


def main():
    write_png("flame.png", 64, 64, flame)
    write_png("spark.png", 32, 32, spark)
    for frame in range(1, 5):
        write_png("smoke%04d.png" % frame, 64, 64, smoke_frame(frame * 11))
    write_png("haze.png", 64, 64, haze)
    write_png("backdrop.png", BACKDROP_WIDTH, BACKDROP_HEIGHT, backdrop)
    write_dds_dxt1("backdrop.dds", BACKDROP_WIDTH, BACKDROP_HEIGHT, backdrop_code)


if __name__ == "__main__":
    main()
