#!/usr/bin/env python3
"""Checks that the tree's dependencies run one way: from the format adapters and tools down to
the effect, the editor, the toolkit, the VST 2.4 interface and the engine, never back up.

  check-layering.py ROOT        checks the tree at ROOT; prints each crossing as FILE:LINE: ...
  check-layering.py --self-test checks that a crossing planted in a scratch tree is found

Two kinds of arrows are read:
  * every quoted #include of a C++ file, resolved as the compiler does with the tree's one include
    root (the including file's folder first, then the top of the tree);
  * every target_link_libraries of a CMakeLists.txt, for the targets the tree itself defines.
Window-system headers (<X11/...>, <windows.h>) may appear only in gui/platform/ and tests/.
"""
import os
import re
import sys
import tempfile

# Floor -> the floors it may use (besides itself). Longest prefix wins; tests/ and bench/ may use
# every floor, but no floor may use them.
BELOW_EDITOR = ["dsp/", "vst2/", "gui/", "effect/", "editor/"]
FLOORS = {
    "dsp/": [],
    "vst2/": [],
    "gui/": ["vst2/"],
    "effect/": ["dsp/", "vst2/"],
    "editor/": ["gui/", "vst2/", "effect/"],
    "formats/vst2/": BELOW_EDITOR,
    "formats/vst3/": BELOW_EDITOR,
    "formats/lv2/": BELOW_EDITOR,
    "tools/common/": BELOW_EDITOR + ["formats/"],
}
TOOL_FLOOR = BELOW_EDITOR + ["formats/", "tools/common/"]
FREE = ("tests/", "bench/")
SKIPPED_DIRS = {".git", "packaging", "cmake", "scripts"}
WINDOW_SYSTEM = re.compile(r"#\s*include\s*<(X11/|windows\.h|xcb/)")
QUOTED = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def floor_of(path):
    """The floor a file or folder belongs to, or None for tests, benchmarks and the top level."""
    if path.startswith(FREE):
        return None
    if path.startswith("tools/") and not path.startswith("tools/common/"):
        parts = path.split("/")
        return "/".join(parts[:2]) + "/" if len(parts) > 2 else None
    best = None
    for floor in FLOORS:
        if path.startswith(floor) and (best is None or len(floor) > len(best)):
            best = floor
    return best


def allowed(floor, target):
    if target.startswith(floor):
        return True
    uses = TOOL_FLOOR if floor.startswith("tools/") and floor != "tools/common/" else FLOORS[floor]
    return any(target.startswith(u) for u in uses)


def source_files(root):
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        dirs[:] = [d for d in dirs if not (rel == "." and (d in SKIPPED_DIRS or d.startswith("build")))]
        for name in files:
            yield os.path.normpath(os.path.join(rel, name)).replace(os.sep, "/")


def check_includes(root, files):
    crossings = []
    tree = set(files)
    for path in files:
        if not path.endswith((".h", ".cpp", ".c")):
            continue
        floor = floor_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            lines = f.readlines()
        for number, line in enumerate(lines, 1):
            if WINDOW_SYSTEM.search(line) and not path.startswith(("gui/platform/",) + FREE):
                crossings.append(f"{path}:{number}: window-system header outside gui/platform: {line.strip()}")
            match = QUOTED.match(line)
            if not match or floor is None:
                continue
            name = match.group(1)
            beside = os.path.normpath(os.path.join(os.path.dirname(path), name)).replace(os.sep, "/")
            target = beside if beside in tree else (name if name in tree else None)
            if target is None:
                continue  # a generated header (version, embedded images)
            if target.startswith(FREE):
                crossings.append(f"{path}:{number}: product code includes test support {target}")
            elif not allowed(floor, target):
                crossings.append(f"{path}:{number}: {floor} may not include {target}")
    return crossings


TARGET_DEF = re.compile(r"\badd_(?:library|executable)\(\s*([A-Za-z0-9_.+-]+)")
WORD = re.compile(r"[A-Za-z0-9_.+-]+")


def check_links(root, files):
    lists = [p for p in files if p.endswith("CMakeLists.txt")]
    defined_in = {}
    texts = {}
    for path in lists:
        with open(os.path.join(root, path), encoding="utf-8") as f:
            texts[path] = f.read()
        for name in TARGET_DEF.findall(texts[path]):
            defined_in.setdefault(name, os.path.dirname(path) + "/")
    crossings = []
    for path, text in texts.items():
        folder = os.path.dirname(path) + "/"
        floor = floor_of(folder)
        if floor is None:
            continue
        for call in re.finditer(r"\btarget_link_libraries\(([^()]*(?:\([^()]*\)[^()]*)*)\)", text):
            line = text.count("\n", 0, call.start()) + 1
            words = WORD.findall(call.group(1))
            for word in words[1:]:
                home = defined_in.get(word)
                if home is None:
                    continue
                home_floor = floor_of(home)
                if home_floor is None and not home.startswith(FREE):
                    continue  # the top level's own (the version header)
                if home_floor is None or not allowed(floor, home_floor):
                    crossings.append(f"{path}:{line}: {floor} may not link {word} (defined in {home})")
    return crossings


def check(root):
    files = sorted(source_files(root))
    return check_includes(root, files) + check_links(root, files)


def self_test():
    """A planted crossing of each kind must be found, and the clean part of the tree must pass."""
    planted = {
        "dsp/Engine.h": '#include "effect/Kalvo.h"\n',
        "effect/Kalvo.h": '#include "dsp/Engine.h"\n#include "vst2/Records.h"\n',
        "vst2/Records.h": "#include <cstdint>\n",
        "gui/View.h": '#include "tests/support/Host.h"\n#include <X11/Xlib.h>\n',
        "tests/support/Host.h": '#include "effect/Kalvo.h"\n',
        "formats/lv2/Entry.cpp": '#include "formats/vst3/Factory.h"\n#include "effect/Kalvo.h"\n',
        "formats/vst3/Factory.h": "\n",
        "dsp/CMakeLists.txt": "add_library(kalvo_dsp STATIC Engine.cpp)\n",
        "effect/CMakeLists.txt": "add_library(kalvo_effect STATIC Kalvo.cpp)\n"
        "target_link_libraries(kalvo_effect PUBLIC kalvo_dsp)\n",
        "editor/CMakeLists.txt": "add_library(kalvo_editor OBJECT E.cpp)\n"
        "target_link_libraries(kalvo_editor PUBLIC kalvo_effect\n  $<$<BOOL:ON>:kalvo_vst3>)\n",
        "formats/vst3/CMakeLists.txt": "add_library(kalvo_vst3 MODULE F.cpp)\n"
        "target_link_libraries(kalvo_vst3 PRIVATE kalvo_editor)\n",
    }
    with tempfile.TemporaryDirectory() as root:
        for path, text in planted.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        found = check(root)
    expected = [
        "dsp/Engine.h:1: dsp/ may not include effect/Kalvo.h",
        "gui/View.h:1: product code includes test support tests/support/Host.h",
        "gui/View.h:2: window-system header outside gui/platform",
        "formats/lv2/Entry.cpp:1: formats/lv2/ may not include formats/vst3/Factory.h",
        "editor/CMakeLists.txt:2: editor/ may not link kalvo_vst3",
    ]
    missing = [e for e in expected if not any(f.startswith(e) for f in found)]
    extra = [f for f in found if not any(f.startswith(e) for e in expected)]
    for line in missing:
        print(f"self-test: not found: {line}")
    for line in extra:
        print(f"self-test: reported although allowed: {line}")
    return 1 if missing or extra else 0


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "--self-test":
        return self_test()
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    crossings = check(sys.argv[1])
    for line in crossings:
        print(line)
    if crossings:
        print(f"{len(crossings)} dependencies run the wrong way (see the table in README.md, Architecture)")
    return 1 if crossings else 0


if __name__ == "__main__":
    sys.exit(main())
