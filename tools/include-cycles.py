#!/usr/bin/env python3
"""Prints the circles in the structure drawn from the product's includes,
and every dependency that reaches up a layer or across to another program.

A module is a source file and its header (download.cpp and download.h are
"upgrade/download"). Module A depends on module B when a file of A includes
B's header; a call across files needs the header, so this covers calls too.
A header with no source of its own (frame.h declaring what main_window.cpp
defines) leads to the modules that define the functions of it the
including module calls.
Layers, from the bottom: common; core (TalLib); toolkit; the programs
(engine, config, tray, upgrade, control, installer), none of which reaches
into another. Prints each circle and each such dependency, then the counts;
the exit code is 1 when there is any.
    tools/include-cycles.py [FOLDER ...]   (default: every product folder)
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ["common", "core", "engine", "toolkit", "config", "tray", "upgrade", "control", "installer"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def modules(folders):
    headers, sources = {}, {}
    for folder in folders:
        for dirpath, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in names:
                stem, ext = os.path.splitext(name)
                if ext not in (".h", ".cpp", ".in"):
                    continue
                if ext == ".in":
                    stem, ext = os.path.splitext(stem)
                module = os.path.relpath(os.path.join(dirpath, stem), ROOT)
                sources.setdefault(module, []).append(os.path.join(dirpath, name))
                if ext == ".h":
                    headers.setdefault(stem + ".h", []).append(module)
    return headers, sources


DECLARED = re.compile(r'^(?!\s|#|//|inline|constexpr|template|static|struct|class|using|typedef|enum)'
                      r'[^;{}()]*?\b(\w+)\s*\([^;{}]*\)\s*;', re.M)


def definers(headers, sources):
    """For each header with no source of its own: function -> defining modules."""
    text = {}
    for module, files in sources.items():
        text[module] = "".join(open(p, encoding="latin-1").read() for p in files if not p.endswith(".h"))
    found = {}
    for owners in headers.values():
        for owner in owners:
            if any(not p.endswith(".h") for p in sources[owner]):
                continue
            header = [p for p in sources[owner] if p.endswith(".h")][0]
            for function in set(DECLARED.findall(open(header, encoding="latin-1").read())):
                pattern = re.compile(r'^\S[^;\n]*\b%s\s*\([^;]*$' % re.escape(function), re.M)
                for module, body in text.items():
                    if pattern.search(body):
                        found.setdefault(owner, {}).setdefault(function, set()).add(module)
    return found, text


def graph(folders):
    headers, sources = modules(folders)
    defined, text = definers(headers, sources)
    edges = {m: set() for m in sources}
    for module, files in sources.items():
        folder = os.path.dirname(module)
        for path in files:
            with open(path, encoding="latin-1") as f:
                for header in INCLUDE.findall(f.read()):
                    targets = headers.get(os.path.basename(header), [])
                    # A name in the including file's own folder wins.
                    near = [t for t in targets if os.path.dirname(t) == folder]
                    for target in near or targets:
                        reached = {target}
                        for function, where in defined.get(target, {}).items():
                            if re.search(r'\b%s\s*\(' % re.escape(function), text[module]):
                                reached |= where
                        edges[module] |= reached - {module}
    return edges


def circles(edges):
    """Strongly connected components of more than one module (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(edges[v]):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    sys.setrecursionlimit(10000)
    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


LAYER = {"common": 0, "core": 1, "toolkit": 2}


def upward(edges):
    """Dependencies on a higher layer, or from one program into another."""
    found = []
    for module, targets in sorted(edges.items()):
        top = module.split(os.sep)[0]
        for target in sorted(targets):
            other = target.split(os.sep)[0]
            if other == top:
                continue
            if LAYER.get(other, 3) > LAYER.get(top, 3) or (other not in LAYER and top not in LAYER):
                found.append((module, target))
    return found


def main():
    folders = sys.argv[1:] or PRODUCT
    edges = graph(folders)
    found = circles(edges)
    for group in found:
        print("circle: " + " <-> ".join(group))
    upwards = upward(edges)
    for module, target in upwards:
        print("reaches up or across: %s -> %s" % (module, target))
    print("%d modules, %d circles, %d upward or across" % (len(edges), len(found), len(upwards)))
    return 1 if found or upwards else 0


if __name__ == "__main__":
    sys.exit(main())
