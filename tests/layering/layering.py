# The layer check: reads every #include of the source tree, the tests, the benchmarks and the
# fuzz targets, and names each include that runs against the layers of the window subsystems.
#
# Layers (a file uses its own folder and what the rules below allow):
#   1 the core, no Qt Widgets, in this order: platform/core, platform/outside, record,
#     shell/services, comm, tradedata, market/feed, options/pricing, testserver
#   2 platform/ui < flexui
#   3 the controls/ and services/ subfolders of the window folders: layers 1-2 and each other
#   4 shell (and the copyhelper program): layers 1-3
#   5 the window folders, in this order: orderentry < market < options < views < conditional
#     < accounts < settings
#   6 kelmon: everything
# Tests: tests/<folder>/ may include what <folder> may and the test helpers of those folders
# (tests/<other>/), and besides the test trading server (testserver, the fixture every layer's
# tests talk to) and the test support: tests/support/ from any test, tests/support/ui/ from the
# tests of layer 2 and above (it needs the window layer). bench/<label>/ counts as a test of the
# folder of its label, fuzz/<label>_<what>.cpp as a test of the folder its name begins with
# (else of the core). Nothing outside tests/, bench/ and fuzz/ includes a test file.
import os
import re
import sys

CORE = ["platform/core", "platform/outside", "record", "shell/services", "comm", "tradedata",
        "market/feed", "options/pricing", "testserver"]
PAVLET_UI = ["platform/ui", "flexui"]
SHELL = ["shell", "copyhelper"]
WINDOWS = ["orderentry", "market", "options", "views", "conditional", "accounts", "settings"]
ROOT_PROGRAM = ["kelmon"]
ORDERED = {1: CORE, 2: PAVLET_UI, 5: WINDOWS}
LAYER_NAMES = {1: "the core", 2: "Pavlet's user interface", 3: "shared window controls and services",
               4: "the shell", 5: "the window folders", 6: "the composition root"}

SUPPORT = "tests/support"
SUPPORT_UI = "tests/support/ui"

SCANNED = CORE + PAVLET_UI + SHELL + WINDOWS + ROOT_PROGRAM + ["tests", "bench", "fuzz"]
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".inc")
SKIPPED_DIRS = ("tests/layering/fixtures",)

# Headers of the Qt Widgets module, for trees where its include folder is not at hand.
QT_WIDGETS_HEADERS = {
    "QApplication", "QWidget", "QtWidgets", "QDialog", "QMainWindow", "QLabel", "QPushButton",
    "QLineEdit", "QComboBox", "QMessageBox", "QFileDialog", "QAbstractButton", "QLayout",
    "QBoxLayout", "QVBoxLayout", "QHBoxLayout", "QGridLayout", "QFormLayout", "QFrame",
    "QScrollArea", "QScrollBar", "QSlider", "QSpinBox", "QCheckBox", "QRadioButton", "QTabWidget",
    "QTabBar", "QTreeView", "QTreeWidget", "QListView", "QListWidget", "QTableView", "QTableWidget",
    "QHeaderView", "QMenu", "QMenuBar", "QToolBar", "QStatusBar", "QToolTip", "QStyle",
    "QStyleOption", "QStylePainter", "QProgressBar", "QSplitter", "QTextEdit", "QPlainTextEdit",
    "QGraphicsView", "QGraphicsScene", "QSystemTrayIcon", "QCalendarWidget", "QDateTimeEdit",
    "QStackedWidget", "QGroupBox", "QToolButton", "QAbstractItemView", "QAbstractScrollArea",
    "QSizePolicy", "QRubberBand", "QCompleter", "QInputDialog", "QColorDialog", "QFontDialog",
    "QProgressDialog", "QDockWidget", "QMdiArea", "QLCDNumber", "QDial", "QStyleFactory",
    "QWidgetAction", "QProxyStyle", "QCommonStyle", "QItemDelegate", "QStyledItemDelegate",
    "QAbstractSpinBox", "QDoubleSpinBox", "QDialogButtonBox", "QButtonGroup", "QFocusFrame",
    "QGesture", "QSplashScreen", "QStackedLayout", "QToolBox", "QWizard", "QErrorMessage",
    "QKeySequenceEdit", "QAbstractSlider", "QTextBrowser", "QSpacerItem",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def qt_widgets_headers(qt_dir=None):
    names = set(QT_WIDGETS_HEADERS)
    if qt_dir and os.path.isdir(qt_dir):
        names.update(n for n in os.listdir(qt_dir) if n.startswith("Q") and "." not in n)
    return names


def _prefix_unit(path, units):
    best = None
    for unit in units:
        if path == unit or path.startswith(unit + "/"):
            if best is None or len(unit) > len(best):
                best = unit
    return best


def _window_subfolder(path):
    parts = path.split("/")
    if len(parts) >= 3 and parts[0] in WINDOWS and parts[1] in ("controls", "services"):
        return parts[0] + "/" + parts[1]
    return None


def source_unit(path):
    """The folder a source path (relative to the root, not under tests/) belongs to."""
    sub = _window_subfolder(path)
    if sub:
        return sub
    return _prefix_unit(path, CORE + PAVLET_UI + SHELL + WINDOWS + ROOT_PROGRAM)


def label_unit(label):
    for unit in CORE + PAVLET_UI + SHELL + WINDOWS + ROOT_PROGRAM:
        if unit.replace("/", "_") == label:
            return unit
    return None


def file_unit(path):
    """(unit, is_test) of a file of the tree; unit None when it is in no layer."""
    if path.startswith(SUPPORT_UI + "/"):
        return SUPPORT_UI, True
    if path.startswith(SUPPORT + "/"):
        return SUPPORT, True
    if path.startswith("tests/"):
        return source_unit(path[len("tests/"):]), True
    if path.startswith("bench/"):
        parts = path.split("/")
        return (label_unit(parts[1]) if len(parts) > 2 else None) or CORE[-1], True
    if path.startswith("fuzz/"):
        name = os.path.basename(path)
        best = None
        for unit in CORE + PAVLET_UI + SHELL + WINDOWS:
            label = unit.replace("/", "_")
            if name.startswith(label + "_") and (best is None or len(label) > len(best[1])):
                best = (unit, label)
        return (best[0] if best else CORE[-1]), True
    return source_unit(path), False


def layer_of(unit):
    """(layer, index within an ordered layer or None)."""
    if unit == SUPPORT:
        return 1, len(CORE)
    if unit == SUPPORT_UI:
        return 2, len(PAVLET_UI)
    if _window_subfolder(unit + "/x"):
        return 3, None
    for layer, order in ORDERED.items():
        if unit in order:
            return layer, order.index(unit)
    if unit in SHELL:
        return 4, None
    return 6, None


def describe(unit):
    layer, _ = layer_of(unit)
    return f"{unit} (layer {layer}, {LAYER_NAMES[layer]})"


def broken_rule(src, src_test, dst, dst_test):
    """The rule an include from unit src to unit dst breaks, or None."""
    if dst_test and not src_test:
        return f"{src} is no test and may not include the test file of {dst}"
    if src == dst:
        return None
    ls, is_ = layer_of(src)
    ld, id_ = layer_of(dst)
    if src_test and (dst == SUPPORT or dst == "testserver"):
        return None
    if src_test and dst == SUPPORT_UI and ls >= 2:
        return None
    if ld < ls:
        return None
    if ld > ls:
        return (f"{describe(src)} may not include {describe(dst)}: a layer uses only the "
                f"layers below it")
    if ls in ORDERED:
        if id_ < is_:
            return None
        order = " < ".join(ORDERED[ls])
        return (f"{src} may not include {dst}: in layer {ls} a folder uses only the folders "
                f"before it ({order})")
    if ls in (3, 6):
        return None
    return f"{src} may not include {dst}: the folders of layer {ls} do not use each other"


def resolve(root, including, target):
    """The included file's path relative to the root, or None when it is not in the tree."""
    here = os.path.dirname(including)
    candidates = [os.path.normpath(os.path.join(here, target)), os.path.normpath(target),
                  os.path.normpath(os.path.join("tests", target))]
    for c in candidates:
        if not c.startswith("..") and os.path.isfile(os.path.join(root, c)):
            return c
    return None


def source_files(root):
    for top in SCANNED:
        base = os.path.join(root, top)
        if not os.path.isdir(base):
            continue
        for dirpath, dirnames, filenames in os.walk(base):
            rel_dir = os.path.relpath(dirpath, root)
            dirnames[:] = sorted(d for d in dirnames
                                 if not any(os.path.join(rel_dir, d).startswith(s)
                                            for s in SKIPPED_DIRS))
            for name in sorted(filenames):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(dirpath, name), root)


def check_tree(root, qt_dir=None):
    """Every broken rule as (file, line, include, rule), in file order."""
    widgets = qt_widgets_headers(qt_dir)
    found = []
    seen = set()
    for path in source_files(root):
        if path in seen:  # tests/ is walked once, but the top folders overlap (shell, shell/services)
            continue
        seen.add(path)
        unit, is_test = file_unit(path)
        if unit is None:
            continue
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                if kind == "<":
                    first = target.split("/")[0]
                    if layer_of(unit)[0] == 1 and (first == "QtWidgets" or target in widgets):
                        found.append((path, number, f"<{target}>",
                                      f"{unit} is in layer 1 (the core) and may not include the "
                                      f"Qt Widgets header <{target}>"))
                    continue
                resolved = resolve(root, path, target)
                if resolved is None:
                    continue
                dst, dst_test = file_unit(resolved)
                if dst is None:
                    continue
                rule = broken_rule(unit, is_test, dst, dst_test)
                if rule:
                    found.append((path, number, f'"{target}"', rule))
    return found


def main(argv):
    import argparse
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("root")
    parser.add_argument("--qt-widgets-dir")
    args = parser.parse_args(argv)
    broken = check_tree(args.root, args.qt_widgets_dir)
    for path, number, include, rule in broken:
        print(f"{path}:{number}: #include {include}: {rule}")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
