#!/usr/bin/env bash
# Regenerates the example pictures in examples/: a BMP and a JPEG drawn with ImageMagick, an EMF and a
# placeable WMF written record by record, Polish descriptions appended as "@||@" + Windows-1250 text with
# CR LF line breaks, and a short tone beside the JPEG. Needs ImageMagick (convert), sox and python3.
# The committed files are what users get; run this only to change them.
set -euo pipefail

out="$(cd "$(dirname "$0")/.." && pwd)/examples"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A meadow: sky, grass, sun and three flowers; 24 bits per pixel, Windows 3 header.
convert -size 100x75 gradient:'#6fb7e6-#e8f4fb' \
    -fill '#3c8d40' -draw 'rectangle 0,52 99,74' \
    -fill '#ffd21f' -draw 'circle 80,16 80,25' \
    -fill '#d9304f' -draw 'circle 20,50 20,55' -draw 'circle 45,56 45,61' -draw 'circle 68,49 68,54' \
    -type TrueColor -strip BMP3:"$work/laka.bmp"

# A sunset over a lake, as a baseline JPEG.
convert -size 160x120 gradient:'#f6a04d-#5b2a6e' \
    -fill '#ffe27a' -draw 'circle 80,70 80,88' \
    -fill '#1f3f74' -draw 'rectangle 0,78 159,119' \
    -fill '#ffd66b' -draw 'rectangle 62,84 98,86' -draw 'rectangle 70,92 90,94' -draw 'rectangle 76,100 84,101' \
    -strip -interlace none -sampling-factor 2x2 -quality 85 "$work/zachod_slonca.jpg"

# A second and a half of a soft tone to go with the sunset.
sox -D -n -r 8000 -b 8 -c 1 "$out/zachod_slonca.wav" synth 1.5 sine 440 fade 0.05 1.5 0.3 vol 0.5

python3 - "$work" "$out" <<'PY'
import os
import struct
import sys

work, out = sys.argv[1], sys.argv[2]

def colour(r, g, b):
    return r | (g << 8) | (b << 16)

# --- advance widths of Liberation Sans (metric-compatible with Arial), for the text's spacing array ---------
def font_advances(path, size_px, text):
    data = open(path, 'rb').read()
    tables = {}
    count = struct.unpack_from('>H', data, 4)[0]
    for i in range(count):
        tag, _, offset, length = struct.unpack_from('>4sIII', data, 12 + 16 * i)
        tables[tag.decode('latin-1')] = offset
    units = struct.unpack_from('>H', data, tables['head'] + 18)[0]
    metrics = struct.unpack_from('>H', data, tables['hhea'] + 34)[0]
    cmap = tables['cmap']
    glyph_of = None
    for i in range(struct.unpack_from('>H', data, cmap + 2)[0]):
        platform, encoding, offset = struct.unpack_from('>HHI', data, cmap + 4 + 8 * i)
        sub = cmap + offset
        if platform == 3 and encoding == 1 and struct.unpack_from('>H', data, sub)[0] == 4:
            segs = struct.unpack_from('>H', data, sub + 6)[0] // 2
            ends = struct.unpack_from('>%dH' % segs, data, sub + 14)
            starts = struct.unpack_from('>%dH' % segs, data, sub + 16 + 2 * segs)
            deltas = struct.unpack_from('>%dh' % segs, data, sub + 16 + 4 * segs)
            range_at = sub + 16 + 6 * segs
            ranges = struct.unpack_from('>%dH' % segs, data, range_at)
            def glyph_of(c, ends=ends, starts=starts, deltas=deltas, ranges=ranges, range_at=range_at):
                for s in range(len(ends)):
                    if starts[s] <= c <= ends[s]:
                        if ranges[s] == 0:
                            return (c + deltas[s]) & 0xFFFF
                        at = range_at + 2 * s + ranges[s] + 2 * (c - starts[s])
                        g = struct.unpack_from('>H', data, at)[0]
                        return (g + deltas[s]) & 0xFFFF if g else 0
                return 0
            break
    widths = []
    for ch in text:
        g = glyph_of(ord(ch))
        g = min(g, metrics - 1)
        advance = struct.unpack_from('>H', data, tables['hmtx'] + 4 * g)[0]
        widths.append(round(advance * size_px / units))
    return widths

FONT = '/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf'

# --- EMF ------------------------------------------------------------------------------------------------------
def emf_record(kind, payload):
    return struct.pack('<II', kind, 8 + len(payload)) + payload

def emf_house():
    width, height = 320, 200
    records = []
    add = records.append
    add(emf_record(39, struct.pack('<IIII', 1, 0, colour(0xCF, 0xE8, 0xF7), 0)))      # sky brush
    add(emf_record(37, struct.pack('<I', 1)))                                          # select it
    add(emf_record(38, struct.pack('<IIiiI', 2, 0, 1, 0, colour(0xCF, 0xE8, 0xF7))))  # thin sky pen
    add(emf_record(37, struct.pack('<I', 2)))
    add(emf_record(43, struct.pack('<iiii', 0, 0, width, height)))                   # background
    add(emf_record(39, struct.pack('<IIII', 3, 0, colour(0x4C, 0xA3, 0x4F), 0)))      # grass
    add(emf_record(37, struct.pack('<I', 3)))
    add(emf_record(43, struct.pack('<iiii', 0, 150, width, height)))
    add(emf_record(38, struct.pack('<IIiiI', 4, 0, 3, 0, colour(0x5A, 0x3A, 0x1E))))  # brown pen, 3 px
    add(emf_record(37, struct.pack('<I', 4)))
    add(emf_record(39, struct.pack('<IIII', 5, 0, colour(0xF2, 0xE2, 0xB8), 0)))      # wall
    add(emf_record(37, struct.pack('<I', 5)))
    add(emf_record(43, struct.pack('<iiii', 90, 90, 190, 160)))                      # house
    roof = [(80, 92), (140, 45), (200, 92)]
    add(emf_record(39, struct.pack('<IIII', 6, 0, colour(0xB8, 0x3B, 0x2E), 0)))      # roof
    add(emf_record(37, struct.pack('<I', 6)))
    add(emf_record(86, struct.pack('<iiiiI', 80, 45, 200, 92, len(roof))
                   + b''.join(struct.pack('<hh', x, y) for x, y in roof)))
    add(emf_record(39, struct.pack('<IIII', 7, 0, colour(0x8A, 0xC6, 0xE8), 0)))      # window
    add(emf_record(37, struct.pack('<I', 7)))
    add(emf_record(43, struct.pack('<iiii', 105, 105, 130, 128)))
    add(emf_record(37, struct.pack('<I', 6)))
    add(emf_record(43, struct.pack('<iiii', 150, 115, 172, 160)))                    # door
    add(emf_record(39, struct.pack('<IIII', 8, 0, colour(0xFF, 0xD2, 0x1F), 0)))      # sun
    add(emf_record(37, struct.pack('<I', 8)))
    add(emf_record(42, struct.pack('<iiii', 250, 20, 290, 60)))
    add(emf_record(27, struct.pack('<ii', 220, 150)))                                # a fence line
    add(emf_record(54, struct.pack('<ii', 300, 150)))
    # the caption
    face = 'Arial'.encode('utf-16-le').ljust(64, b'\0')
    logfont = struct.pack('<iiiiiBBBBBBBB', -18, 0, 0, 0, 700, 0, 0, 0, 238, 0, 0, 0, 0) + face
    add(emf_record(82, struct.pack('<I', 9) + logfont))
    add(emf_record(37, struct.pack('<I', 9)))
    add(emf_record(18, struct.pack('<I', 1)))                                        # transparent
    add(emf_record(24, struct.pack('<I', colour(0x20, 0x20, 0x20))))
    add(emf_record(22, struct.pack('<I', 0)))                                        # top left
    text = 'Dom z ogrodem'
    dx = font_advances(FONT.replace('Regular', 'Bold'), 18, text)
    chars = text.encode('utf-16-le')
    chars += b'\0' * (-len(chars) % 4)
    fixed = 8 + 16 + 4 + 4 + 4 + 40
    x, y = 12, 170
    payload = struct.pack('<iiii', x, y, x + sum(dx), y + 21) + struct.pack('<Iff', 1, 1.0, 1.0)
    payload += struct.pack('<iiIII', x, y, len(text), fixed, 0)                        # reference, chars, offString, options
    payload += struct.pack('<iiii', 0, 0, -1, -1)                                     # no clipping rectangle
    payload += struct.pack('<I', fixed + len(chars)) + chars + b''.join(struct.pack('<i', w) for w in dx)
    add(emf_record(84, payload))
    add(emf_record(40, struct.pack('<I', 9)))                                         # delete the font
    eof = emf_record(14, struct.pack('<III', 0, 16, 20))
    body = b''.join(records) + eof
    header_size = 108
    # A reference screen of 96 pixels per inch: 1024 x 768 pixels over 270.93 x 203.2 mm.
    frame = (0, 0, round(width * 2540 / 96) - 1, round(height * 2540 / 96) - 1)       # in 0.01 mm
    header = struct.pack('<iiii', 0, 0, width - 1, height - 1) + struct.pack('<iiii', *frame)
    header += struct.pack('<IIIIHHIIIiiiiIIIII', 0x464D4520, 0x10000, header_size + len(body), len(records) + 2,
                          10, 0, 0, 0, 0, 1024, 768, 271, 203, 0, 0, 0, 270933, 203200)
    return emf_record(1, header) + body

# --- placeable WMF ---------------------------------------------------------------------------------------------
def wmf_record(function, payload=b''):
    assert len(payload) % 2 == 0
    return struct.pack('<IH', 3 + len(payload) // 2, function) + payload

def wmf_plan():
    width, height = 240, 160
    records = [
        wmf_record(0x020B, struct.pack('<hh', 0, 0)),                                  # window origin
        wmf_record(0x020C, struct.pack('<hh', height, width)),                         # window extent
        wmf_record(0x02FC, struct.pack('<HIH', 0, colour(0xE9, 0xF5, 0xE1), 0)),       # brush 0: lawn
        wmf_record(0x012D, struct.pack('<H', 0)),
        wmf_record(0x02FA, struct.pack('<HhhI', 0, 2, 0, colour(0x2F, 0x5D, 0x2A))),   # pen 1: dark green
        wmf_record(0x012D, struct.pack('<H', 1)),
        wmf_record(0x041B, struct.pack('<hhhh', height - 1, width - 1, 0, 0)),         # garden border
        wmf_record(0x02FC, struct.pack('<HIH', 0, colour(0x7F, 0xB0, 0xE0), 0)),       # brush 2: pond
        wmf_record(0x012D, struct.pack('<H', 2)),
        wmf_record(0x0418, struct.pack('<hhhh', 120, 210, 70, 140)),                   # pond
        wmf_record(0x01F0, struct.pack('<H', 0)),                                      # brush 0 freed
        wmf_record(0x02FC, struct.pack('<HIH', 0, colour(0xC9, 0x8B, 0x4E), 0)),       # brush 0 again: beds
        wmf_record(0x012D, struct.pack('<H', 0)),
        wmf_record(0x0324, struct.pack('<H', 4) + struct.pack('<8h', 20, 30, 110, 30, 110, 60, 20, 60)),
        wmf_record(0x0324, struct.pack('<H', 3) + struct.pack('<6h', 20, 140, 70, 90, 110, 140)),
        wmf_record(0x0214, struct.pack('<hh', 80, 130)),                               # a path to the pond
        wmf_record(0x0213, struct.pack('<hh', 95, 140)),
    ]
    face = b'Arial'.ljust(32, b'\0')
    records.append(wmf_record(0x02FB, struct.pack('<hhhhhBBBBBBBB', -16, 0, 0, 0, 400, 0, 0, 0, 238, 0, 0, 0, 0)
                              + face))                                                 # font 3
    records.append(wmf_record(0x012D, struct.pack('<H', 3)))
    records.append(wmf_record(0x0102, struct.pack('<H', 1)))                           # transparent
    records.append(wmf_record(0x0209, struct.pack('<I', colour(0x20, 0x30, 0x20))))
    text = 'Plan ogródka'.encode('cp1250')
    records.append(wmf_record(0x0521, struct.pack('<H', len(text)) + text.ljust(len(text) + len(text) % 2, b'\0')
                              + struct.pack('<hh', 132, 128)))
    records.append(wmf_record(0x0000))
    body = b''.join(records)
    largest = max(struct.unpack_from('<I', r)[0] for r in records)
    header = struct.pack('<HHHIHIH', 1, 9, 0x0300, 9 + len(body) // 2, 4, largest, 0)
    placeable = struct.pack('<IHhhhhHI', 0x9AC6CDD7, 0, 0, 0, width, height, 96, 0)
    checksum = 0
    for i in range(10):
        checksum ^= struct.unpack_from('<H', placeable, 2 * i)[0]
    return placeable + struct.pack('<H', checksum) + header + body

def described(picture, text):
    if text is None:
        return picture
    return picture + b'@||@' + text.replace('\n', '\r\n').encode('cp1250')

files = {
    'laka.bmp': (open(os.path.join(work, 'laka.bmp'), 'rb').read(),
                 'Łąka pełna kwiatów o poranku.\nSłońce już wysoko, rosa jeszcze na trawie.'),
    'zachod_slonca.jpg': (open(os.path.join(work, 'zachod_slonca.jpg'), 'rb').read(),
                          'Zachód słońca nad jeziorem.\nŻółte światło kładzie się na wodzie.\n'
                          'Obrazowi towarzyszy dźwięk z pliku zachod_slonca.wav.'),
    'dom.emf': (emf_house(), 'Dom z ogrodem – rysunek wektorowy (EMF).\nZażółć gęślą jaźń.'),
    'plan_ogrodu.wmf': (wmf_plan(), None),
}
for name, (picture, text) in files.items():
    with open(os.path.join(out, name), 'wb') as f:
        f.write(described(picture, text))
PY

ls -l "$out"
