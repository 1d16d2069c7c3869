#!/usr/bin/env python3
"""Draws the program's icon (32 x 32, 16 colours): a note over spectrum bars.

Writes src/res/vantrel.ico. Run it again after changing the drawing.
"""
import os
import struct

# The 16 standard VGA colours (B, G, R, 0 order in the file).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, TEAL, GRAY, LIME, YELLOW, AQUA, WHITE = 0, 4, 6, 8, 10, 11, 14, 15

N = 32
pix = [[None] * N for _ in range(N)]  # None: transparent


def put(x, y, c):
    if 0 <= x < N and 0 <= y < N:
        pix[y][x] = c


# A rounded navy tile with a black rim.
for y in range(1, 31):
    for x in range(1, 31):
        corner = min(x - 1, 30 - x) + min(y - 1, 30 - y)
        if corner >= 2:
            edge = x in (1, 30) or y in (1, 30) or corner == 2
            put(x, y, BLACK if edge else NAVY)

# Spectrum bars along the bottom.
for i, h in enumerate([5, 9, 7, 12, 6, 10, 4]):
    x0 = 4 + i * 3
    for y in range(27 - h, 27):
        for x in (x0, x0 + 1):
            put(x, y, LIME if y > 27 - h // 2 else TEAL)

# An eighth note: head, stem and flag.
for y in range(N):
    for x in range(N):
        dx, dy = x - 11.5, y - 18.5
        if (dx * dx) / 16 + (dy * dy) / 9 <= 1:
            put(x, y, YELLOW)
for y in range(4, 19):
    put(15, y, YELLOW)
    put(16, y, YELLOW)
for i in range(7):
    put(17 + i // 2, 4 + i, YELLOW)
    put(18 + i // 2, 5 + i, YELLOW)
    put(21, 10 + i // 2, YELLOW)
for (x, y) in [(9, 17), (10, 17), (9, 18)]:
    put(x, y, WHITE)

xor = bytearray()
mask = bytearray()
for y in reversed(range(N)):  # bottom-up rows
    row = pix[y]
    for x in range(0, N, 2):
        a = row[x] if row[x] is not None else 0
        b = row[x + 1] if row[x + 1] is not None else 0
        xor.append((a << 4) | b)
    bits = 0
    for x in range(N):
        bits = (bits << 1) | (1 if row[x] is None else 0)
    mask += struct.pack('>I', bits)

header = struct.pack('<IiiHHIIiiII', 40, N, N * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
image = header + palette + bytes(xor) + bytes(mask)
icon = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', N, N, 16, 0, 1, 4, len(image), 22) + image
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src', 'res', 'vantrel.ico')
with open(out, 'wb') as f:
    f.write(icon)
print(out, len(icon), 'bytes')
