# The layer check over the real tree, and over a small planted tree where each broken rule must
# be named with its file and line while the allowed includes pass.
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layering  # noqa: E402

SOURCE_DIR = os.environ.get(
    "KELMON_SOURCE_DIR",
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
QT_WIDGETS_DIR = os.environ.get("KELMON_QT_WIDGETS_DIR") or None


class RealTree(unittest.TestCase):
    def test_every_include_keeps_the_layers(self):
        broken = layering.check_tree(SOURCE_DIR, QT_WIDGETS_DIR)
        text = "\n".join(f"{p}:{n}: #include {i}: {r}" for p, n, i, r in broken)
        self.assertEqual(broken, [], "includes against the layers:\n" + text)


# A planted tree: each file's lines, and for each line that breaks a rule the words its report
# must hold. The first lines of every file are fine.
PLANTED = {
    "platform/core/Clock.h": ["#pragma once"],
    "record/Table.h": ['#include "platform/core/Clock.h"', "#include <vector>",
                       '#include "flexui/Grid.h"'],
    "platform/core/Paths.cpp": ['#include "platform/core/Clock.h"', "#include <QString>",
                                "#include <QWidget>", "#include <QtWidgets/QLabel>"],
    "comm/Link.cpp": ['#include "record/Table.h"', '#include "tradedata/Orders.h"'],
    "tradedata/Orders.h": ['#include "comm/Link.h"'],
    "comm/Link.h": ["#pragma once"],
    "flexui/Grid.h": ['#include "platform/ui/Wnd.h"', '#include "record/Table.h"'],
    "platform/ui/Wnd.h": ["#include <QWidget>", '#include "flexui/Grid.h"'],
    "settings/controls/Combo.h": ['#include "flexui/Grid.h"', '#include "orderentry/controls/Edit.h"',
                                  '#include "shell/Panel.h"'],
    "orderentry/controls/Edit.h": ['#include "settings/controls/Combo.h"'],
    "shell/Panel.h": ['#include "settings/controls/Combo.h"', '#include "shell/services/Log.h"',
                      '#include "settings/StatusStrip.h"', '#include "orderentry/Parts.h"'],
    "shell/services/Log.h": ['#include "record/Table.h"', '#include "shell/Panel.h"'],
    "orderentry/Parts.h": ['#include "shell/Panel.h"', '#include "orderentry/controls/Edit.h"',
                           '#include "market/Board.h"'],
    "market/Board.h": ['#include "orderentry/Parts.h"', '#include "market/feed/Quotes.h"',
                       '#include "options/Calc.h"'],
    "market/feed/Quotes.h": ['#include "tradedata/Orders.h"', '#include "market/Board.h"',
                             '#include "options/pricing/Model.h"'],
    "options/Calc.h": ['#include "options/pricing/Model.h"', '#include "market/Board.h"',
                       '#include "views/Positions.h"'],
    "options/pricing/Model.h": ['#include "market/feed/Quotes.h"', '#include "options/Calc.h"'],
    "views/Positions.h": ['#include "options/Calc.h"', '#include "conditional/StopList.h"'],
    "conditional/StopList.h": ['#include "views/Positions.h"', '#include "accounts/Pledge.h"'],
    "accounts/Pledge.h": ['#include "conditional/StopList.h"', '#include "settings/StatusStrip.h"'],
    "settings/StatusStrip.h": ['#include "accounts/Pledge.h"', '#include "views/Positions.h"',
                               '#include "settings/controls/Combo.h"', '#include "kelmon/Main.h"'],
    "kelmon/Main.h": ['#include "settings/StatusStrip.h"', '#include "orderentry/Parts.h"'],
    "testserver/Server.h": ['#include "tradedata/Orders.h"', '#include "support/TempDir.h"'],
    "tests/support/TempDir.h": ["#pragma once"],
    "tests/support/ui/UiTestApp.h": ['#include "platform/ui/Wnd.h"'],
    "tests/record/TableTest.cpp": ['#include "record/Table.h"', '#include "support/TempDir.h"',
                                   '#include "testserver/Server.h"',
                                   '#include "support/ui/UiTestApp.h"', "#include <QApplication>"],
    "tests/record/Helper.h": ["#pragma once"],
    "tests/tradedata/OrdersTest.cpp": ['#include "tests/record/Helper.h"',
                                       '#include "Fixture.h"', '#include "market/Board.h"'],
    "tests/tradedata/Fixture.h": ["#pragma once"],
    "tests/shell/PanelTest.cpp": ['#include "shell/Panel.h"', '#include "support/ui/UiTestApp.h"',
                                  "#include <QWidget>", '#include "settings/StatusStrip.h"'],
    "tests/settings/StripTest.cpp": ['#include "settings/StatusStrip.h"', '#include "shell/Panel.h"',
                                     '#include "orderentry/Parts.h"'],
    "bench/record/TableBench.cpp": ['#include "record/Table.h"', '#include "tests/support/TempDir.h"',
                                    '#include "comm/Link.h"'],
    "fuzz/flexui_grid.cpp": ['#include "flexui/Grid.h"', '#include "shell/Panel.h"'],
    "fuzz/record_table.cpp": ['#include "record/Table.h"', "#include <QWidget>"],
}

# (file, line) -> words the report of that include must hold; every other include passes.
EXPECTED = {
    ("record/Table.h", 3): ["record (layer 1", "flexui (layer 2", "layers below it"],
    ("platform/core/Paths.cpp", 3): ["<QWidget>", "Qt Widgets", "layer 1"],
    ("platform/core/Paths.cpp", 4): ["<QtWidgets/QLabel>", "Qt Widgets"],
    ("comm/Link.cpp", 2): ["comm may not include tradedata", "folders before it"],
    ("platform/ui/Wnd.h", 2): ["platform/ui may not include flexui", "platform/ui < flexui"],
    ("settings/controls/Combo.h", 3): ["settings/controls (layer 3", "shell (layer 4"],
    ("shell/Panel.h", 3): ["shell (layer 4", "settings (layer 5"],
    ("shell/Panel.h", 4): ["shell (layer 4", "orderentry (layer 5"],
    ("shell/services/Log.h", 2): ["shell/services (layer 1", "shell (layer 4"],
    ("orderentry/Parts.h", 3): ["orderentry may not include market",
                                "orderentry < market < options"],
    ("market/feed/Quotes.h", 2): ["market/feed (layer 1", "market (layer 5"],
    ("market/Board.h", 3): ["market may not include options"],
    ("options/Calc.h", 3): ["options may not include views"],
    ("market/feed/Quotes.h", 3): ["market/feed may not include options/pricing"],
    ("options/pricing/Model.h", 2): ["options/pricing (layer 1", "options (layer 5"],
    ("views/Positions.h", 2): ["views may not include conditional"],
    ("conditional/StopList.h", 2): ["conditional may not include accounts"],
    ("accounts/Pledge.h", 2): ["accounts may not include settings"],
    ("settings/StatusStrip.h", 4): ["settings (layer 5", "kelmon (layer 6"],
    ("testserver/Server.h", 2): ["testserver is no test", "tests/support"],
    ("tests/record/TableTest.cpp", 4): ["record (layer 1", "tests/support/ui (layer 2"],
    ("tests/record/TableTest.cpp", 5): ["<QApplication>", "Qt Widgets"],
    ("tests/tradedata/OrdersTest.cpp", 3): ["tradedata (layer 1", "market (layer 5"],
    ("tests/shell/PanelTest.cpp", 4): ["shell (layer 4", "settings (layer 5"],
    ("bench/record/TableBench.cpp", 3): ["record may not include comm"],
    ("fuzz/flexui_grid.cpp", 2): ["flexui (layer 2", "shell (layer 4"],
    ("fuzz/record_table.cpp", 2): ["<QWidget>", "Qt Widgets"],
}


class PlantedTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        for path, lines in PLANTED.items():
            full = os.path.join(cls.dir.name, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write("\n".join(lines) + "\n")
        cls.broken = layering.check_tree(cls.dir.name)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_each_planted_include_is_named_with_its_file_line_and_rule(self):
        by_place = {(p, n): (i, r) for p, n, i, r in self.broken}
        for place, words in EXPECTED.items():
            with self.subTest(place=place):
                self.assertIn(place, by_place, "not reported")
                include, rule = by_place[place]
                for word in words:
                    self.assertIn(word, include + " " + rule)

    def test_the_allowed_includes_pass(self):
        extra = [b for b in self.broken if (b[0], b[1]) not in EXPECTED]
        self.assertEqual(extra, [])

    def test_the_command_line_names_the_file_and_line_and_fails(self):
        import contextlib
        import io
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            code = layering.main([self.dir.name])
        self.assertEqual(code, 1)
        self.assertIn('shell/Panel.h:3: #include "settings/StatusStrip.h": shell (layer 4',
                      out.getvalue())


if __name__ == "__main__":
    unittest.main()
