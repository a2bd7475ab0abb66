#!/usr/bin/env python3
"""Writes the production's camera keys, demosrc/norde/cam1.cam.

Each key is one 56-byte little-endian record of 14 floats: eye position,
look-at point, up vector, field of view, near, far, ratio (-1: the window's)
and a timestamp written as 0. The sync tracks 1, 2 and 3 blend between keys
by their index in this list.

The landscape spans x -1020..1020 (the right half mirrored), z -1536 (the
future, far ahead) to +1524 (the past); the present moment is the row at
z = 768 and the spectrum flows towards +z. Bent fully, it is a tube of
radius about 247 around the z axis.

usage: tools/camera/make-camera-keys.py [--test] [OUTPUT]
  --test writes the test production's two keys instead (default output
  tests/e2e/production/demosrc/norde/cam1.cam).
"""
import struct
import sys

NEAR = 1.0
FAR = 12000.0
RATIO = -1.0

# (eye, look-at, up, field of view in degrees, what the view is for)
KEYS = [
    ((0.0, 700.0, 2300.0), (0.0, 0.0, -400.0), (0.0, 1.0, 0.0), 50.0, "0: high, wide, from behind the past"),
    ((-650.0, 420.0, 1900.0), (100.0, 40.0, -300.0), (0.0, 1.0, 0.0), 55.0, "1: drifting in from the left"),
    ((0.0, 120.0, 1150.0), (0.0, 60.0, -800.0), (0.0, 1.0, 0.0), 62.0, "2: low, racing the present line"),
    ((1350.0, 170.0, 700.0), (200.0, 40.0, 420.0), (0.0, 1.0, 0.0), 55.0, "3: from the side, the spectrum in profile"),
    ((-200.0, 95.0, 1000.0), (100.0, 55.0, 600.0), (0.0, 1.0, 0.0), 66.0, "4: close over the present line"),
    ((0.0, 1500.0, 950.0), (0.0, 0.0, 250.0), (0.0, 0.0, -1.0), 55.0, "5: overhead"),
    ((0.0, 0.0, 1350.0), (0.0, 0.0, -500.0), (0.0, 1.0, 0.0), 72.0, "6: inside the tube, on its axis"),
    ((45.0, -60.0, 1050.0), (-25.0, 35.0, -400.0), (0.3, 0.95, 0.0), 78.0, "7: inside the tube, rolled"),
    ((0.0, 1100.0, 3700.0), (0.0, 120.0, 0.0), (0.0, 1.0, 0.0), 40.0, "8: far away, the whole landscape"),
    ((0.0, 140.0, 1450.0), (0.0, 420.0, -1500.0), (0.0, 1.0, 0.0), 56.0, "9: low in the middle valley, looking up at the moon"),
    ((-120.0, -150.0, 1150.0), (60.0, 90.0, -900.0), (0.2, 0.98, 0.0), 70.0, "10: inside the tube, low against its wall"),
    ((260.0, 380.0, 2350.0), (0.0, 0.0, 300.0), (0.0, 1.0, 0.0), 48.0, "11: outside the tube's open end, looking in"),
]

# The test production: a slow descent from high and wide to low over the
# present line.
TEST_KEYS = [
    ((0.0, 500.0, 1900.0), (0.0, 0.0, -300.0), (0.0, 1.0, 0.0), 55.0, "0: high and wide"),
    ((0.0, 150.0, 1200.0), (0.0, 50.0, -600.0), (0.0, 1.0, 0.0), 62.0, "1: low over the present line"),
]


def record(eye, look_at, up, fov):
    return struct.pack("<14f", *eye, *look_at, *up, fov, NEAR, FAR, RATIO, 0.0)


def main():
    args = sys.argv[1:]
    test = "--test" in args
    args = [a for a in args if a != "--test"]
    keys = TEST_KEYS if test else KEYS
    default = "tests/e2e/production/demosrc/norde/cam1.cam" if test else "demosrc/norde/cam1.cam"
    path = args[0] if args else default
    data = b"".join(record(eye, look_at, up, fov) for eye, look_at, up, fov, _ in keys)
    with open(path, "wb") as out:
        out.write(data)
    print(f"wrote {path}: {len(keys)} keys, {len(data)} bytes")


if __name__ == "__main__":
    main()
