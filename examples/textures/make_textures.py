#!/usr/bin/env python3
"""Writes the small RGBA textures of the bundled examples.

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


def write_png(name, size, pixel):
    """pixel(x, y) gives (r, g, b, a) as floats from 0 to 1."""
    rows = bytearray()
    for y in range(size):
        rows.append(0)  # filter: none
        for x in range(size):
            rows.extend(round(max(0.0, min(1.0, c)) * 255) for c in pixel(x, y))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
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


def main():
    write_png("flame.png", 64, flame)
    write_png("spark.png", 32, spark)
    for frame in range(1, 5):
        write_png("smoke%04d.png" % frame, 64, smoke_frame(frame * 11))
    write_png("haze.png", 64, haze)


if __name__ == "__main__":
    main()
