#!/usr/bin/env python3
"""How far apart two output files are: for text, the largest difference between the
numbers in the same place (and in units of the last place, for doubles); for binary
files, how many bytes differ and where the first one is."""
import struct
import sys


def numbers(data):
    values = []
    for word in data.split():
        try:
            values.append(float(word))
        except ValueError:
            values.append(word)
    return values


def ulps(a, b):
    ordered = lambda x: struct.unpack("<q", struct.pack("<d", abs(x)))[0]
    return abs(ordered(a) - ordered(b)) if (a < 0) == (b < 0) else None


def main(first, second):
    a, b = open(first, "rb").read(), open(second, "rb").read()
    try:
        ta, tb = numbers(a.decode("ascii")), numbers(b.decode("ascii"))
    except UnicodeDecodeError:
        differing = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
        first_at = differing[0] if differing else min(len(a), len(b))
        return f"{len(differing)} bytes differ (sizes {len(a)} and {len(b)}), the first at byte {first_at}"
    if len(ta) != len(tb):
        return f"{len(ta)} and {len(tb)} words"
    largest, worst_ulps, where = 0.0, 0, None
    for i, (x, y) in enumerate(zip(ta, tb)):
        if isinstance(x, float) and isinstance(y, float):
            if abs(x - y) > largest:
                largest, where = abs(x - y), (x, y)
            worst_ulps = max(worst_ulps, ulps(x, y) or 0)
        elif x != y:
            return f"word {i} differs: {x!r} and {y!r}"
    return f"largest difference {largest:g} ({where[0]!r} and {where[1]!r}), {worst_ulps} units in the last place"


if __name__ == "__main__":
    print(main(sys.argv[1], sys.argv[2]))
