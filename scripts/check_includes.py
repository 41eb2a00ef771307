#!/usr/bin/env python3
"""Checks which room of the tree includes which.

Every include of the project names its file from the top of the tree ("host/mesh.h").
A room may include its own files and those of the rooms listed for it below; inside
plugin/ the rooms stack (entry at the bottom, panel and blade above it, grow on top),
and the folders there must not include each other in a cycle.
Prints one line per fault and exits 1 when there is any.
"""
import os
import re
import sys

ALLOWED = {
    "sdk": set(),
    "plugin/entry": {"sdk"},
    "plugin/blade": {"sdk", "plugin/entry"},
    "plugin/panel": {"sdk", "plugin/entry", "plugin/blade"},
    "plugin/grow": {"sdk", "plugin/entry", "plugin/blade", "plugin/panel"},
    "host": {"sdk"},
    "toolkit": {"sdk"},
    "meshio": {"sdk", "host"},
    "view": {"sdk", "host", "toolkit", "meshio"},
    "scatter": {"sdk", "host"},
    "app": {"sdk", "host", "toolkit", "meshio", "view", "scatter"},
}
# Tests and benchmarks may reach anything; the pure parts of the plug-in they link directly.
FREE = ("tests", "bench")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def room_of(path):
    for room in sorted(ALLOWED, key=len, reverse=True):
        if path == room or path.startswith(room + "/"):
            return room
    return None


def sources(top):
    for folder, dirs, files in os.walk(top):
        dirs[:] = [d for d in dirs if not d.startswith(".") and d != "build"]
        for name in files:
            if name.endswith((".h", ".hpp", ".c", ".cpp")):
                yield os.path.relpath(os.path.join(folder, name), top)


def find_cycle(graph):
    """A list of folders that include each other in a cycle, or None."""
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return trail[trail.index(nxt):] + [nxt] if nxt in trail else [node, nxt]
            if nxt not in state:
                found = visit(nxt, trail + [nxt])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def main():
    top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    faults = []
    plugin_graph = {}
    for path in sources(top):
        if path.startswith(FREE):
            continue
        room = room_of(path)
        if room is None:
            continue
        text = open(os.path.join(top, path), encoding="utf-8", errors="replace").read()
        for line_number, included in ((text.count("\n", 0, m.start()) + 1, m.group(1)) for m in INCLUDE.finditer(text)):
            if not os.path.exists(os.path.join(top, included)):
                faults.append(f"{path}:{line_number}: \"{included}\" is not named from the top of the tree")
                continue
            target = room_of(included)
            if target is None or target == room:
                continue
            if room.startswith("plugin/") and target.startswith("plugin/"):
                plugin_graph.setdefault(room, set()).add(target)
            if target not in ALLOWED[room]:
                faults.append(f"{path}:{line_number}: {room} may not include {included} ({target})")
    cycle = find_cycle(plugin_graph)
    if cycle:
        faults.append("plugin/ folders include each other in a cycle: " + " -> ".join(cycle))
    for fault in faults:
        print(fault)
    print(f"includes: {0 if faults else 1} passed, {1 if faults else 0} failed")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
