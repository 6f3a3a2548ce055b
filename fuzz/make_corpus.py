#!/usr/bin/env python3
"""Writes the seed corpus of layer_fuzz: one small program per family of
operations, encoded the way layer_fuzz.cpp reads its input. Operations are
named here as in layer_fuzz's own table, which the built binary prints
(layer_fuzz --operations), so their numbers are never copied. Run it again
after changing the encoding; LAYER_FUZZ_TRACE=1 layer_fuzz FILE shows what a
seed does.

Usage: fuzz/make_corpus.py [--fuzzer BINARY] [output directory]
       (BINARY defaults to build/fuzz/fuzz/layer_fuzz, as scripts/fuzz.sh builds it)
"""
import argparse
import os
import struct
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Operation name -> the number layer_fuzz reads for it; filled by main().
OPERATIONS = {}

EDGES = [0, 1, -1, 2, -2**31, 2**31 - 1, -2**31 + 1, 2**31 - 2, 319, 320, 321, 239, 240, 241, 32767,
         32768, -32768, -32769, 65535, 65536, -32000, 16384, 16385, (2**31 - 1) // 2, -2**30, 1 << 30,
         -(1 << 30), 1000000, -1000000, 5, 21, 0x7FFF0000]
# Handle picks: the n-th of our own of the kind asked for, null, or made up.
NULL = bytes([0xD0])


def own(n=0):
    return bytes([n])


def u32(v):
    return struct.pack('<I', v & 0xFFFFFFFF)


def i(v):
    """Input::Int."""
    if -48 <= v <= 366 and (v + 48) % 2 == 0:
        return bytes([(v + 48) // 2])
    if v in EDGES:
        return bytes([0xD0 + EDGES.index(v)])
    return bytes([0xF0]) + u32(v)


def rect(l, t, r, b):
    return i(l) + i(t) + i(r) + i(b)


def text(s):
    data = s.encode('latin-1')
    return bytes([len(data)]) + data


def op(name, *args):
    if name not in OPERATIONS:
        sys.exit(f'make_corpus.py: layer_fuzz has no operation named {name!r}')
    return bytes([OPERATIONS[name]]) + b''.join(args)


def window(x=20, y=20, w=200, h=150, style=0, title='tarvelmin', cls=0):
    # Style 0 is WS_OVERLAPPEDWINDOW | WS_VISIBLE; 2 a visible popup.
    return op('CreateWindowExA', bytes([cls]), text(title), b'\0', bytes([style]), i(x), i(y), i(w), i(h))


def register_class():
    return op('RegisterClassA', b'\0', b'\1', NULL)  # "fuzz0", our procedure, redraw styles


def seeds():
    return {
        # Classes and windows: styles, show commands (some out of range),
        # moves to the edges of int, queries, destruction and stale handles.
        'windows': b''.join([
            register_class(),
            op('RegisterClassA', b'\0', b'\0', NULL),  # again: already exists
            window(),
            window(10, 30, 120, 90, style=2, title='popup'),
            op('ShowWindow', own(0), i(6)),  # SW_MINIMIZE
            op('ShowWindow', own(0), i(9)),  # SW_RESTORE
            op('ShowWindow', own(1), i(3)),  # SW_SHOWMAXIMIZED
            op('ShowWindow', own(1), i(12)),  # out of range
            op('ShowWindow', own(1), i(-1)),
            op('MoveWindow', own(0), i(-2**31), i(2**31 - 1), i(2**31 - 1), i(-5), b'\1'),
            op('MoveWindow', own(0), i(40), i(40), i(100), i(80), b'\1'),
            op('window queries', own(0), b'\0'),
            op('window queries', own(0), b'\2', b'\x20', b'\1', b'\1'),  # GetWindowTextA into 33 bytes
            op('window queries', own(1), b'\5', i(2**31 - 1), i(-2**31), b'\1'),  # ClientToScreen
            op('window queries', own(1), b'\4', b'\1'),  # GetWindowRect
            op('DestroyWindow', own(0)),
            op('ShowWindow', own(0), i(5)),  # stale
            op('MoveWindow', own(0), i(0), i(0), i(10), i(10), b'\0'),
            op('UnregisterClassA', b'\0'),  # the popup still uses it
            op('DestroyWindow', own(1)),
            op('UnregisterClassA', b'\0'),
            op('GetDC', b'\0', own(0)),  # a dead window's DC
        ]),
        # Device contexts, pens and brushes: wide and cosmetic lines to far
        # coordinates, fills with inverted and huge rectangles, deleting what is
        # selected, deleting twice, handles of one kind passed as another.
        'gdi': b''.join([
            register_class(),
            window(),
            op('GetDC', b'\0', own(0)),
            op('GetDC', b'\1'),  # the whole screen
            op('GDI objects', b'\x42', i(1), i(5), u32(0x0000FF)),  # PS_SOLID, width 5
            op('GDI objects', b'\x42', i(1), i(1), u32(0x00FF00)),  # width 1
            op('GDI objects', b'\x81', i(0), i(2), i(-2**31), u32(0xFFFFFFFF)),  # PS_DOT, width INT_MIN
            op('GDI objects', b'\1', u32(0x123456)),  # a brush
            op('GDI objects', b'\2', i(4)),  # BLACK_BRUSH
            op('SelectObject', own(0), b'\2', own(0)),  # the width-5 pen
            op('lines', own(0), b'\x83', i(10), i(10), i(100), i(60), i(-2**31), i(2**31 - 1), i(50), i(50),
               i(50), i(50)),
            op('SelectObject', own(1), b'\2', own(1)),
            op('lines', own(1), b'\1', i(0), i(0), i(319), i(239), i(-1000000), i(5)),
            op('FillRect', own(0), rect(10, 10, 60, 40), own(0), b'\0'),
            op('FillRect', own(0), rect(60, 40, 10, 10), own(0), b'\0'),  # inverted
            op('FillRect', own(1), rect(-2**31, -2**31, 2**31 - 1, 2**31 - 1), own(0), b'\0'),
            op('FillRect', own(1), rect(0, 0, 5, 5), own(0), b'\xF0'),  # no rectangle
            op('DeleteObject', b'\2', own(0)),  # selected: refused, stays selected
            op('DeleteObject', b'\2', own(0)),
            op('SelectObject', own(0), b'\2', own(1)),
            op('DeleteObject', b'\3', own(0)),
            op('DeleteObject', b'\3', own(0)),  # twice
            op('FillRect', own(0), rect(0, 0, 50, 50), own(0), b'\0'),  # a deleted brush
            op('SelectObject', own(0), b'\0', own(0)),  # a window as an object
            op('lines', own(0), b'\0', i(0), i(0), i(5), i(5)),
            op('colours', own(0), b'\3', i(20), i(20)),  # GetPixel
            op('ReleaseDC', own(0), own(0)),
            op('ReleaseDC', own(0), own(0)),  # twice
            op('lines', own(0), b'\0', i(0), i(0), i(5), i(5)),  # a released DC
            op('BeginPaint', own(0), b'\1', b'\1'),
            op('painting', own(0), b'\0', rect(-2**31, 0, 2**31 - 1, 100)),  # InvalidateRect
            op('painting', own(0), b'\1', rect(0, 0, 50, 50)),  # ValidateRect
            op('painting', own(0), b'\2', rect(0, 0, 0, 0)),  # GetUpdateRect
        ]),
        # Text and formatting: colours, modes, arbitrary bytes and lengths.
        'text': b''.join([
            op('GetDC', b'\1'),
            op('colours', own(0), b'\0', u32(0x00FFFF00)),
            op('colours', own(0), b'\1', u32(0xFF0000FF)),
            op('colours', own(0), b'\2', i(1)),  # TRANSPARENT
            op('TextOutA', own(0), i(4), i(4), text('Hello, 1252 \x80\x99\xff'), b'\0'),
            op('colours', own(0), b'\2', i(2)),  # OPAQUE
            op('TextOutA', own(0), i(300), i(230), text('past the edge'), b'\1', b'\5'),
            op('TextOutA', own(0), i(-2**31), i(2**31 - 1), text('far'), b'\0'),
            op('TextOutA', own(0), i(0), i(0), text('x'), b'\6'),  # length INT_MIN
            op('TextOutA', own(0), i(0), i(0), text(''), b'\x10'),
            op('colours', own(0), b'\2', i(7)),  # no such mode
            op('wsprintfA', b'\0', i(-2**31), i(0), u32(0), text('')),
            op('wsprintfA', b'\2', i(-1), i(2**31 - 1), u32(0xDEADBEEF), text('')),
            op('wsprintfA', b'\3', i(-5), i(7), u32(0), text('')),
            op('wsprintfA', b'\5', i(65), i(0), u32(0), text('a string of some length')),
            op('wsprintfA', b'\6', i(1), i(0), u32(0), text('')),
            op('wsprintfA', b'\7', i(0), i(0), u32(0), text('x' * 200)),
            op('wsprintfA', b'\x08', i(0), i(0), u32(0), text('')),
            op('rectangles', rect(0, 0, 10, 10), rect(5, 5, 20, 20), b'\3'),
            op('rectangles', rect(2**31 - 2, 0, 10, 10), rect(0, 0, 0, 0), b'\1', i(5), i(-5)),
        ]),
        # Messages, timers, virtual time and the user: posted and sent messages,
        # the close box, activation, covers, re-entrant window procedures.
        'messages': b''.join([
            register_class(),
            op('reaction', b'\2', b'\4', b'\x30'),  # WM_SIZE: MoveWindow
            op('reaction', b'\x0b', b'\x0d', b'\0'),  # WM_DESTROY: a nested window
            op('reaction', b'\x07', b'\x0c', b'\1'),  # WM_PAINT: GetDC and fill
            window(),
            window(100, 60, 150, 120, title='second'),
            op('timers', b'\0', own(0), b'\1', b'\x20'),  # SetTimer(w, 1, 32)
            op('timers', b'\x82', b'\0', b'\x0f'),  # a thread timer with a procedure
            op('send or post', b'\0', own(0), b'\6', b'\0'),  # post WM_USER
            op('send or post', b'\1', own(1), b'\4', b'\1'),  # send WM_SYSCOMMAND SC_MINIMIZE
            op('user action', b'\2', b'\x05', own(1)),  # activate
            op('user action', b'\x08', b'\x0a', own(0), rect(0, 0, 160, 120)),  # cover
            op('user action', b'\x09', b'\x14', own(0), b'\0'),  # uncover
            op('user action', b'\x04', b'\x1e', own(0), i(2**31 - 1), i(50)),  # resize
            op('user action', b'\x01', b'\x28', own(0)),  # another application
            op('user action', b'\x00', b'\x32', own(0)),  # the close box
            op('PeekMessageA', b'\x07'),
            op('GetMessageA', b'\x47', b'\5', b'\5'),  # WM_TIMER only
            op('GetMessageA', b'\x07'),
            b'\0',  # read by the nested window the close box's WM_DESTROY makes
            op('DispatchMessageA', own(1), b'\5', b'\0', b'\1'),  # a made-up WM_TIMER
            op('DispatchMessageA', own(1), b'\3', b'\0', b'\0', NULL),  # WM_ERASEBKGND without a DC
            op('clock', b'\1', i(2**31 - 1)),
            op('GetMessageA', b'\x07'),
            op('send or post', b'\2', own(0), b'\0', b'\0', i(3)),  # PostQuitMessage
            op('GetMessageA', b'\x07'),
            op('timers', b'\1', own(0), b'\1'),  # KillTimer
        ]),
        # DirectDraw: the program's set-up, blits between every pair with odd
        # rectangles, fills, locks, DCs on surfaces, clippers, COM counts, and
        # the DirectDraw object released while its children are still held.
        'ddraw': b''.join([
            register_class(),
            op('program set-up', b'\0', text('demo'), b'\0', b'\0', i(10), i(10), i(240), i(180), b'\0', u32(0),
               bytes([63]), bytes([47])),  # a 64 x 48 back buffer
            op('CreateSurface', b'\0', b'\0', b'\0', b'\0', b'\0', bytes([16]), bytes([16])),  # 16 x 16
            op('CreateSurface', b'\0', b'\0', b'\0', b'\0', b'\0', bytes([0xE6]), bytes([1])),  # 16384 x 1
            op('CreateSurface', b'\0', b'\0', b'\0', b'\0', b'\0', bytes([0xE7]), bytes([1])),  # too wide
            op('CreateSurface', b'\0', b'\x08', b'\0', b'\3', b'\0', bytes([8]), bytes([8]), b'\1'),  # 16-bit pixels
            op('Blt', b'\1', b'\x07', own(0), rect(0, 0, 0, 0), rect(0, 0, 0, 0), b'\0', u32(0)),  # whole onto whole
            op('Blt', b'\1', b'\0', own(2), rect(-10, -10, 500, 400), rect(0, 0, 16, 16), b'\0', u32(0)),
            op('Blt', b'\2', b'\0', own(1), rect(0, 0, 5, 5), rect(0, 0, 64, 48), b'\0', u32(0)),
            op('Blt', b'\1', b'\0', own(1), rect(10, 10, 5, 5), rect(0, 0, 8, 8), b'\0', u32(0)),  # inverted
            op('Blt', b'\1', b'\x02', NULL, rect(1, 1, 30, 20), rect(0, 0, 0, 0), b'\2', u32(0x00FF8040)),  # fill
            op('Blt', b'\0', b'\x01', NULL, rect(0, 0, 0, 0), rect(0, 0, 0, 0), b'\2', u32(0x000000FF)),
            op('Lock', b'\1', b'\x00', rect(2, 2, 10, 10), u32(0x00ABCDEF), b'\0'),  # stays locked
            op('Blt', b'\1', b'\0', own(0), rect(0, 0, 8, 8), rect(0, 0, 8, 8), b'\0', u32(0)),  # busy
            op('Lock', b'\1', b'\x03', rect(0, 0, 0, 0)),  # Unlock(NULL)
            op('surface DC', b'\0', b'\0', NULL),
            op('TextOutA', own(0), i(0), i(0), text('on the primary'), b'\0'),
            op('surface DC', b'\0', b'\1', own(0)),
            op('surface DC', b'\2', b'\0', NULL),
            op('GDI objects', b'\2', i(0)),  # WHITE_BRUSH
            op('FillRect', own(1), rect(0, 0, 16, 16), b'\xA0\0', b'\0'),  # with the stock brush
            op('surface clipper', b'\1', b'\1', own(0)),  # the window's clipper on the back buffer
            op('Blt', b'\1', b'\0', own(2), rect(-100, -100, 400, 400), rect(0, 0, 16, 16), b'\0', u32(0)),
            op('COM', b'\x04', b'\1', b'\0'),  # AddRef a surface
            op('COM', b'\x06', b'\0', b'\2'),  # QueryInterface on a surface
            op('COM', b'\x0a', b'\0', b'\3'),  # QueryInterface on a clipper
            op('COM', b'\x82', b'\0', b'\0', u32(0x12345678)),  # an interface nobody has
            op('COM', b'\x03', b'\0', b'\0'),  # release the DirectDraw object for good
            op('Blt', b'\1', b'\0', own(0), rect(0, 0, 0, 0), rect(0, 0, 0, 0), b'\0', u32(0)),
            op('surface clipper', b'\0', b'\0', NULL),  # GetClipper on a dead surface
            op('clippers', b'\0', b'\0', own(0)),  # SetHWnd on a dead clipper
            op('DirectDrawCreate', b'\0', u32(0)),
            op('SetCooperativeLevel', b'\0', own(0), b'\1'),  # exclusive and full screen
            op('CreateSurface', b'\0', b'\0', b'\0', b'\1', b'\1', b'\0', b'\0'),  # a primary
            op('Blt', b'\4', b'\x03', own(0), rect(0, 0, 0, 0), rect(0, 0, 0, 0), b'\0', u32(0)),  # a dead source
        ]),
        # Stretches of a striped source whose result the harness works out:
        # the same destination from two source rectangles in turn, growing
        # (in vectors where the CPU has them) and shrinking.
        'stretches': b''.join([
            register_class(),
            op('program set-up', b'\0', text('demo'), b'\0', b'\0', i(10), i(10), i(240), i(180), b'\0', u32(0),
               bytes([63]), bytes([47])),  # a 64 x 48 back buffer
            op('CreateSurface', b'\0', b'\0', b'\0', b'\0', b'\0', bytes([16]), bytes([16])),  # 16 x 16
            *[op('Blt', b'\2', b'\x02', NULL, rect(x, 0, x + 1, 16), rect(0, 0, 0, 0), b'\2',
                 u32(0x00102030 * (x + 1) ^ 0x00A05000 * (x & 3))) for x in range(16)],
            op('Blt', b'\2', b'\x02', NULL, rect(0, 5, 16, 6), rect(0, 0, 0, 0), b'\2', u32(0x00FFFFFF)),
            op('Blt', b'\1', b'\0', own(2), rect(0, 0, 48, 40), rect(0, 0, 8, 16), b'\0', u32(0)),
            op('Blt', b'\1', b'\0', own(2), rect(0, 0, 48, 40), rect(5, 1, 13, 17 - 1), b'\0', u32(0)),
            op('Blt', b'\1', b'\0', own(2), rect(3, 2, 10, 9), rect(0, 0, 16, 16), b'\0', u32(0)),
            op('Blt', b'\1', b'\0', own(2), rect(3, 2, 10, 9), rect(2, 3, 15, 14), b'\0', u32(0)),
            op('Blt', b'\0', b'\0', own(1), rect(-20, 0, 300, 200), rect(0, 0, 64, 48), b'\0', u32(0)),  # clipped
        ]),
        # Every injectable failure, each met on the program's set-up path.
        'faults': b''.join([
            register_class(),
            op('FailNext', b'\0', i(0)),
            window(),
            op('FailNext', b'\1', i(0)),
            op('timers', b'\0', own(0), b'\1', b'\x20'),
            op('FailNext', b'\2', i(1)),
            op('program set-up', b'\0', text('a'), b'\0', b'\0', i(10), i(10), i(100), i(100), b'\0', u32(0), b'\x10',
               b'\x10'),
            op('program set-up', b'\0', text('b'), b'\0', b'\0', i(20), i(20), i(100), i(100), b'\0', u32(0), b'\x10',
               b'\x10'),
            op('FailNext', b'\3', i(0)),
            op('FailNext', b'\4', i(0)),
            op('FailNext', b'\5', i(0)),
            op('FailNext', b'\6', i(0)),
            op('FailNext', b'\7', i(0)),
            op('program set-up', b'\0', text('c'), b'\0', b'\0', i(30), i(30), i(100), i(100), b'\0', u32(0), b'\x10',
               b'\x10'),
            op('FailNext', b'\x08', i(0)),
            op('surface DC', b'\0', b'\0', NULL),
            op('FailNext', b'\x09', i(0)),
            op('Blt', b'\0', b'\x02', NULL, rect(0, 0, 0, 0), rect(0, 0, 0, 0), b'\2', u32(0)),
            op('FailNext', b'\xF0', u32(0xFFFFFFFF), i(0)),  # a call nobody knows
        ]),
    }


def read_operations(fuzzer):
    """The first number of each name in layer_fuzz's table: a name given
    twice there is only made likelier."""
    try:
        listing = subprocess.run([fuzzer, '--operations'], check=True, capture_output=True, text=True).stdout
    except (OSError, subprocess.CalledProcessError) as e:
        sys.exit(f'make_corpus.py: cannot list the operations of {fuzzer} ({e}); scripts/fuzz.sh builds it')
    for line in listing.splitlines():
        number, name = line.split('\t', 1)
        OPERATIONS.setdefault(name, int(number))
    if not OPERATIONS:
        sys.exit(f'make_corpus.py: {fuzzer} --operations listed nothing')


def main():
    parser = argparse.ArgumentParser(description='Writes the seed corpus of layer_fuzz.')
    parser.add_argument('--fuzzer', default=os.path.join(ROOT, 'build', 'fuzz', 'fuzz', 'layer_fuzz'))
    parser.add_argument('out', nargs='?', default=os.path.join(ROOT, 'fuzz', 'corpus'))
    args = parser.parse_args()
    read_operations(args.fuzzer)
    os.makedirs(args.out, exist_ok=True)
    for name, data in seeds().items():
        with open(os.path.join(args.out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
