#!/usr/bin/env python3
"""Fails when an #include in the program's folders goes the wrong way between layers.

Each folder below is one library; it may include its own headers and those of the
folders listed with it, nothing else. The build gives each library only the include
roots of the libraries it links, so a wrong include fails there too; this check also
catches a bare name or a relative path reaching into another folder, and says which
rule was broken. tools/, tests/, bench/ and fuzz/ may include any layer.

    scripts/check-layers.py [--root FOLDER]
"""

import argparse
import pathlib
import re
import sys

# The layers from the ground up, each with the layers it may use.
LAYERS = {
    "common": [],
    "layout": [],
    "jet": ["common", "layout"],
    "data": ["common", "layout", "jet"],
    "components": ["common"],
    "ribbon": ["common", "components"],
    "search": ["common", "layout", "data", "components"],
    "app": ["common", "layout", "data", "components", "ribbon", "search"],
}
# Folders of the repository that no layer may include from.
OUTSIDE = ["tools", "tests", "bench", "fuzz", "scripts", "packaging", "resources", "reference-data"]
SOURCES = {".h", ".hpp", ".cpp", ".cc", ".inl"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def project_headers(root):
    """Each header file name in the project's folders -> the folders holding it."""
    names = {}
    for folder in list(LAYERS) + OUTSIDE:
        for path in (root / folder).rglob("*"):
            if path.suffix in SOURCES:
                names.setdefault(path.name, set()).add(folder)
    return names


def check_include(root, source, layer, target, names):
    """What is wrong with `source` (in `layer`) including `target`, or None."""
    parts = pathlib.PurePosixPath(target).parts
    if ".." in parts or (parts and parts[0] == "."):
        resolved = (source.parent / target).resolve()
        try:
            relative = resolved.relative_to((root / layer).resolve())
        except ValueError:
            return f'"{target}" is a relative path out of {layer}/; name the header by its folder'
        target = f"{layer}/{relative.as_posix()}"
        parts = pathlib.PurePosixPath(target).parts
    if len(parts) == 1:
        if (source.parent / target).exists():
            return None
        elsewhere = sorted(names.get(target, set()) - {layer})
        if elsewhere:
            return f'"{target}" is a bare name reaching into {", ".join(f + "/" for f in elsewhere)}'
        return None  # a system or library header
    folder = parts[0]
    if folder == layer or folder in LAYERS[layer]:
        return None
    if folder in LAYERS:
        return f"{layer}/ may not include {folder}/ (it may use: {', '.join(LAYERS[layer]) or 'nothing'})"
    if folder in OUTSIDE:
        return f"{layer}/ may not include from {folder}/"
    return None  # <QtCore/QString> and the like


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=pathlib.Path, default=pathlib.Path(__file__).resolve().parent.parent)
    root = parser.parse_args().root.resolve()

    names = project_headers(root)
    problems = []
    includes = 0
    for layer in LAYERS:
        if not (root / layer).is_dir():
            problems.append(f"{layer}/: the folder is missing")
            continue
        for source in sorted((root / layer).rglob("*")):
            if source.suffix not in SOURCES:
                continue
            for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                includes += 1
                problem = check_include(root, source, layer, match.group(2), names)
                if problem:
                    problems.append(f"{source.relative_to(root)}:{number}: {problem}")
    for problem in problems:
        print(f"check-layers: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"check-layers: {includes} includes in {', '.join(LAYERS)} run one way")
    return 0


if __name__ == "__main__":
    sys.exit(main())
