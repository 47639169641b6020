#!/usr/bin/env python3
"""Writes the tiny BMP seed files for fuzz_bmp beside this script, and the hand-made hostile
inputs into ../../regressions/bmp. Run it again after changing it; the outputs are committed."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
regressions = os.path.join(here, '..', '..', 'regressions', 'bmp')


def info(width, height, bits, compression=0, size_image=0, colours=0, header_size=40, masks=()):
    if header_size == 12:
        return struct.pack('<IHHHH', 12, width, height, 1, bits)
    out = struct.pack('<IiiHHIIiiII', header_size, width, height, 1, bits, compression, size_image,
                      2835, 2835, colours, 0)
    out += b''.join(struct.pack('<I', m) for m in masks)
    return out + b'\0' * (header_size - 40 - 4 * len(masks)) if header_size > 40 else out


def bmp(header, table=b'', pixels=b'', offset=None):
    offset = 14 + len(header) + len(table) if offset is None else offset
    return b'BM' + struct.pack('<IHHI', 14 + len(header) + len(table) + len(pixels), 0, 0, offset) \
        + header + table + pixels


def table(*colours, entry=4):
    return b''.join(struct.pack('<BBB', c & 0xFF, (c >> 8) & 0xFF, c >> 16) + b'\0' * (entry - 3) for c in colours)


rle8 = bytes.fromhex('0301' '0000' '0003020300' '00' '00020101' '0102' '0001')
rle4 = bytes.fromhex('0512' '0000' '0005012301' '00' '0001')
seeds = {
    'one_bit.bmp': bmp(info(9, 2, 1, colours=2), table(0, 0xFFFFFF), bytes.fromhex('AA800000' '00800000')),
    'four_bit_core.bmp': bmp(info(3, 2, 4, header_size=12), table(*range(16), entry=3), bytes.fromhex('01200000' '30100000')),
    'eight_bit_rle.bmp': bmp(info(4, 3, 8, 1, len(rle8), 4), table(0xFF0000, 0xFF00, 0xFF, 0xFFFFFF), rle8),
    'four_bit_rle.bmp': bmp(info(6, 2, 4, 2, len(rle4), 4), table(0xFF0000, 0xFF00, 0xFF, 0xFFFFFF), rle4),
    'sixteen_bit_fields.bmp': bmp(info(2, 2, 16, 3, masks=(0xF800, 0x07E0, 0x001F)), b'', bytes.fromhex('00F8E007' '1F00FFFF')),
    'twenty_four_bit_top_down.bmp': bmp(info(2, -2, 24), b'', bytes.fromhex('0000FF00FF000000' 'FF0000FFFFFF0000')),
    'thirty_two_bit_v5.bmp': bmp(info(2, 1, 32, 3, header_size=124, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
                                 b'', bytes.fromhex('11223344' '55667788')),
}
hostile = {
    'rle8_delta_far_below_last_row.bmp': bmp(info(2, 2, 8, 1, 0, 2), table(0, 0xFFFFFF), bytes.fromhex('0101' '000200FF' '0201' '0001')),
    'rle4_runs_past_right_edge.bmp': bmp(info(2, 1, 4, 2, 0, 2), table(0, 0xFFFFFF), bytes.fromhex('FF11' '00FF' + '11' * 64)),
    'colours_used_past_end_of_file.bmp': bmp(info(1, 1, 8, colours=0xFFFFFFFF), table(0xFFFFFF), b'\0\0\0\0'),
    'most_negative_height.bmp': bmp(info(1, -0x80000000, 24), b'', b'\0\0\0\0'),
    'pixel_offset_past_end.bmp': bmp(info(1, 1, 24), b'', b'\0\0\0\0', offset=0xFFFFFFF0),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)
os.makedirs(regressions, exist_ok=True)
for name, data in hostile.items():
    with open(os.path.join(regressions, name), 'wb') as f:
        f.write(data)
