#!/usr/bin/env python3
"""Every accessor's min and max against its data: bounds.py FILE.glb|FILE.gltf...

Reads each file back (a .glb's chunks, or a .gltf and its buffers beside it), takes
the smallest and largest of every component of every accessor that states bounds, and
says where a stated bound is not the data's (a float bound compared as the 32-bit float
it stands for). Every POSITION accessor must state both. Exits 1 when any file differs.
"""
import json
import os
import struct
import sys

COMPONENTS = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT2": 4, "MAT3": 9, "MAT4": 16}
FORMATS = {5120: "b", 5121: "B", 5122: "h", 5123: "H", 5125: "I", 5126: "f"}


def load(path):
    """The JSON and the bytes of each buffer."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"glTF":
        document = json.loads(data)
        folder = os.path.dirname(path)
        buffers = []
        for buffer in document.get("buffers", []):
            with open(os.path.join(folder, buffer["uri"]), "rb") as f:
                buffers.append(f.read())
        return document, buffers
    chunks, offset = {}, 12
    while offset + 8 <= len(data):
        length, kind = struct.unpack_from("<I4s", data, offset)
        chunks[kind] = data[offset + 8 : offset + 8 + length]
        offset += 8 + length
    return json.loads(chunks[b"JSON"]), [chunks.get(b"BIN\x00", b"")]


def elements(document, buffers, accessor):
    """The accessor's elements, each a tuple of its components."""
    view = document["bufferViews"][accessor["bufferView"]]
    fmt = "<" + FORMATS[accessor["componentType"]]
    size = struct.calcsize(fmt)
    components = COMPONENTS[accessor["type"]]
    stride = view.get("byteStride", size * components)
    start = view.get("byteOffset", 0) + accessor.get("byteOffset", 0)
    data = buffers[view["buffer"]]
    for i in range(accessor["count"]):
        yield tuple(struct.unpack_from(fmt, data, start + i * stride + c * size)[0] for c in range(components))


def as_stored(value, component_type):
    """A bound as the component type holds it."""
    return struct.unpack("<f", struct.pack("<f", value))[0] if component_type == 5126 else value


def faults(path):
    document, buffers = load(path)
    accessors = document.get("accessors", [])
    positions = {
        primitive["attributes"]["POSITION"]
        for mesh in document.get("meshes", [])
        for primitive in mesh["primitives"]
        if "POSITION" in primitive["attributes"]
    }
    for index, accessor in enumerate(accessors):
        name = f"{os.path.basename(path)}: accessor {index}"
        if index in positions and ("min" not in accessor or "max" not in accessor):
            yield f"{name} holds positions without both min and max"
        if "min" not in accessor and "max" not in accessor:
            continue
        data = list(elements(document, buffers, accessor))
        if not data:
            yield f"{name} states bounds for no data"
            continue
        for bound, pick in (("min", min), ("max", max)):
            if bound not in accessor:
                continue
            for c, stated in enumerate(accessor[bound]):
                actual = pick(element[c] for element in data)
                if as_stored(stated, accessor["componentType"]) != actual:
                    yield f"{name}: {bound}[{c}] is {stated!r}, the data's is {actual!r}"


def main(paths):
    failed = 0
    for path in paths:
        found = list(faults(path))
        for fault in found:
            print(fault)
        failed += bool(found)
    print(f"bounds: {len(paths) - failed} files agree with their data, {failed} do not")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
