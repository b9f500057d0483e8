# Converts a 24/32-bit XWD dump (Xvfb -fbdir) to PNG, optionally cropped: IN OUT [X Y W H].
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
hdr = struct.unpack('>25I', data[:100])
header_size, version, fmt, depth, width, height = hdr[0], hdr[1], hdr[2], hdr[3], hdr[4], hdr[5]
byte_order, bpp, bpl, ncolors = hdr[7], hdr[11], hdr[12], hdr[19]
off = header_size + ncolors * 12
x0, y0, w, h = [int(v) for v in sys.argv[3:7]] if len(sys.argv) > 6 else (0, 0, width, height)
rows = []
for y in range(y0, y0 + h):
    row = bytearray([0])
    base = off + y * bpl
    for x in range(x0, x0 + w):
        p = data[base + x * 4: base + x * 4 + 4]
        b, g, r = (p[0], p[1], p[2]) if byte_order == 0 else (p[3], p[2], p[1])
        row += bytes([r, g, b])
    rows.append(bytes(row))
def chunk(t, d):
    c = struct.pack('>I', len(d)) + t + d
    return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
png += chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)
