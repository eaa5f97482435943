#!/usr/bin/env python3
"""Fails when a source file includes a header from a layer above its own.

    check_includes.py SOURCE_DIR
    check_includes.py --self-test     the rules against a table of cases

Layers, bottom up: dsp <- model <- editors/model <- autoeq <- link <- files <- ui <- editors,
remote <- shell <- app. editors/model (the pages' Qt-free logic) and autoeq (the automatic
EQ fit) are Qt-free like the core.
A folder may include its own layer and the ones below it; editors/ and remote/ share a
layer and stay apart. The front ends beside the window (tools/: the CLI and the emulator)
build on the core (dsp, model, link, files) only, and nothing in the layers includes
them. The core includes no Qt header. Folders not named here (tests/, bench/, and any new
top-level folder until it is given a layer below) are not checked.
"""
import pathlib
import re
import sys

RANKS = {"dsp": 0, "model": 1, "link": 2, "files": 3, "editors/model": 1.5, "autoeq": 1.7,
         "ui": 4, "editors": 5, "remote": 5, "shell": 6, "app": 7}
CORE = {"dsp", "model", "link", "files"}
QT_FREE = CORE | {"editors/model", "autoeq"}
BESIDE = {"tools": CORE | {"autoeq"}}  # folder -> the layers it may include (and itself)
NESTED = {"editors/model"}  # layers that live inside another layer's folder


def layer_of(path):
    """The layer a relative path ("editors/model/X.h", "shell/Y.cpp") belongs to."""
    for nested in NESTED:
        if path.startswith(nested + "/"):
            return nested
    return path.split("/")[0]
NOT_SOURCES = {"build", "tests", "bench", "dist", "docs", "scripts"}

# Includes known to point the wrong way today, each (including file, included header).
# Only these pass; the list is to shrink, and a new entry is a design question.
KNOWN = {
    # The CLI's parameter access and filter commands use the Qt-free page logic in
    # editors/model/; that logic is to move below both front ends.
    ("tools/cli/ParameterAccess.cpp", "editors/model/EffectParameters.h"),
    ("tools/cli/EqFilterCommands.cpp", "editors/model/ChannelChain.h"),
    ("tools/cli/EqFilterCommands.cpp", "editors/model/EqFilterImport.h"),
    ("tools/cli/EqFilterCommands.cpp", "editors/model/OutputChannels.h"),
    ("tools/cli/AutoEqCommand.cpp", "editors/model/EqFilterImport.h"),
    ("tools/cli/AutoEqCommand.cpp", "editors/model/OutputChannels.h"),
    ("tools/cli/SettingsTarget.h", "editors/model/EqFilterImport.h"),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}


def problem(folder, header, bracket):
    """Why `folder` may not include `header`, or None when it may."""
    if bracket == "<":
        name = header.split("/")[0]
        if folder in QT_FREE and (name.startswith("Q") or name.lower().startswith("qt")):
            return "the core includes no Qt header"
        return None
    target = layer_of(header) if "/" in header else None
    if target is None or target == folder:
        return None
    if folder in BESIDE:
        if target in BESIDE[folder]:
            return None
        if target in RANKS or target in BESIDE:
            return f"{folder}/ builds on the core only, not on {target}/"
        return None
    if target in BESIDE:
        return f"{target}/ is a front end beside the layers; {folder}/ must not include it"
    if target not in RANKS:
        return None
    if RANKS[target] > RANKS[folder]:
        return f"{folder}/ includes {target}/, a layer above it"
    if RANKS[target] == RANKS[folder]:
        return f"{folder}/ and {target}/ share a layer and stay apart"
    return None


# (including folder, header, bracket, allowed)
CASES = [
    ("model", "dsp/Biquad.h", '"', True),
    ("model", "link/LinkState.h", '"', False),  # model never includes link
    ("link", "model/ParameterImage.h", '"', True),
    ("files", "ui/DialogService.h", '"', False),
    ("shell", "remote/RemoteWindow.h", '"', True),
    ("editors", "remote/RemoteKeys.h", '"', False),  # siblings
    ("app", "shell/MainWindow.h", '"', True),
    ("ui", "tools/sim/SimServer.h", '"', False),
    ("tools", "files/ModeFile.h", '"', True),
    ("tools", "ui/DialogService.h", '"', False),
    ("tools", "editors/model/ChannelChain.h", '"', False),  # only as a listed exception
    ("link", "QString", "<", False),
    ("dsp", "QtCore/qglobal.h", "<", False),
    ("ui", "QWidget", "<", True),
    ("model", "vector", "<", True),
    ("link", "FrameCodec.h", '"', True),  # same folder, no path
    ("editors", "autoeq/EqFit.h", '"', True),
    ("autoeq", "editors/model/EqFilterImport.h", '"', True),
    ("autoeq", "editors/EqGraphPanel.h", '"', False),
    ("editors/model", "QString", "<", False),
    ("editors/model", "link/LinkState.h", '"', False),
    ("tools", "autoeq/EqFit.h", '"', True),
    ("editors", "editors/model/EqPanelModel.h", '"', True),
    ("editors/model", "editors/EqGraphPanel.h", '"', False),
]


def self_test():
    wrong = [c for c in CASES if (problem(c[0], c[1], c[2]) is None) != c[3]]
    for folder, header, bracket, allowed in wrong:
        print(f"{folder}/ including {bracket}{header}: expected {'allowed' if allowed else 'refused'}")
    return 1 if wrong else 0


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--self-test":
        return self_test()
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    checked = {layer.split("/")[0] for layer in RANKS} | set(BESIDE)
    failures, used = [], set()
    for top in sorted(checked):
        for path in sorted((root / top).rglob("*")):
            if path.suffix not in SUFFIXES or not path.is_file():
                continue
            relative = path.relative_to(root).as_posix()
            folder = layer_of(relative)
            for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                why = problem(folder, match.group(2), match.group(1))
                if why is None:
                    continue
                if (relative, match.group(2)) in KNOWN:
                    used.add((relative, match.group(2)))
                    continue
                failures.append(f"{relative}:{number}: {why}: {match.group(2)}")

    for stale in sorted(KNOWN - used):
        print(f"note: the known exception {stale[0]} -> {stale[1]} is gone; remove it from the list")
    others = sorted(p.name for p in root.iterdir()
                    if p.is_dir() and not p.name.startswith(".") and p.name not in checked | NOT_SOURCES
                    and not p.name.startswith("build") and any(q.suffix in SUFFIXES for q in p.rglob("*")))
    for name in others:
        print(f"note: {name}/ has no layer in this check; its includes are not checked")
    for line in failures:
        print(line)
    if failures:
        print(f"{len(failures)} include(s) against the layering (see {pathlib.Path(__file__).name})")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
