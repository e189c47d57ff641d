#!/usr/bin/env python3
"""The layer check on a small tree: each include below goes into one file of a fresh
copy of the layers, and the check must pass or fail as the table says."""

import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers.py"
LAYERS = ["common", "layout", "jet", "data", "components", "ribbon", "search", "app"]

# (file that includes, the include line, passes)
CASES = [
    ("data/Db.cpp", '#include "data/Db.h"', True),
    ("data/Db.cpp", '#include "Db.h"', True),  # a bare name of its own folder
    ("data/Db.cpp", '#include "jet/Jet.h"', True),
    ("data/Db.cpp", "#include <sqlite3.h>", True),
    ("search/Win.cpp", "#include <QtCore/QString>", True),
    ("app/Main.cpp", '#include "search/Win.h"', True),
    ("data/Db.cpp", '#include "Jet.h"', False),  # a bare name reaching into jet/
    ("data/Db.cpp", '#include "search/Win.h"', False),
    ("components/Grid.cpp", '#include "search/Win.h"', False),
    ("components/Grid.cpp", '#include "data/Db.h"', False),  # beside, not below
    ("components/Grid.cpp", '  #  include <app/Main.h>', False),
    ("ribbon/Bar.cpp", '#include "../app/Main.h"', False),
    ("ribbon/Bar.cpp", '#include "../ribbon/Bar.h"', True),
    ("jet/Jet.cpp", '#include "tools/kvostrel-import/Import.h"', False),
    ("common/Err.h", '#include "layout/Schema.h"', False),
    ("app/Main.cpp", '#include "jet/Jet.h"', False),  # data's private part
]


class CheckLayers(unittest.TestCase):
    def test_cases(self):
        for source, line, passes in CASES:
            with self.subTest(source=source, line=line), tempfile.TemporaryDirectory() as folder:
                root = pathlib.Path(folder)
                files = ["common/Err.h", "layout/Schema.h", "jet/Jet.h", "data/Db.h", "components/Grid.h",
                         "ribbon/Bar.h", "search/Win.h", "app/Main.h", "tools/kvostrel-import/Import.h"]
                for name in files + [source]:
                    (root / name).parent.mkdir(parents=True, exist_ok=True)
                    (root / name).touch()
                (root / source).write_text(f"// a file\n{line}\n")
                run = subprocess.run([sys.executable, str(CHECK), "--root", str(root)], capture_output=True, text=True)
                self.assertEqual(run.returncode == 0, passes, run.stderr)
                if not passes:
                    self.assertIn(f"{source}:2:", run.stderr)

    def test_this_tree(self):
        run = subprocess.run([sys.executable, str(CHECK)], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)


if __name__ == "__main__":
    unittest.main()
