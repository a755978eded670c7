#!/usr/bin/env python3
"""scripts/check_layers.py against the real layer table, on a small tree made
for each case: what passes, and each way of pointing up that must fail."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(SOURCE, "scripts", "check_layers.py")


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "a", encoding="utf-8") as f:
        f.write(text)


def run_check(root):
    return subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)


class CheckLayers(unittest.TestCase):
    def tree(self):
        """Every folder the table names, and lawful files and targets in two of them."""
        root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, root)
        os.makedirs(os.path.join(root, "docs"))
        shutil.copy(os.path.join(SOURCE, "docs", "architecture.md"), os.path.join(root, "docs"))
        with open(os.path.join(SOURCE, "docs", "architecture.md"), encoding="utf-8") as doc:
            for line in doc:
                if line.startswith("| `"):
                    os.makedirs(os.path.join(root, line.split("`")[1]), exist_ok=True)
        write(root, "platform/objc/runtime.h", "#pragma once\nnamespace px::platform::objc {\nclass Object;\n}\n")
        write(root, "platform/foundation/value.cpp", '#include "platform/objc/runtime.h"\n')
        write(root, "platform/foundation/CMakeLists.txt", "add_library(platform_foundation OBJECT value.cpp)\n")
        write(root, "host/cli/main.cpp", '#include "platform/foundation/value.h"\n'
              'namespace px::host::cli::verbs {\n// namespace history {\n}\nint main() { return 0; }\n')
        write(root, "tests/cli/main_test.cpp", "namespace px::host::cli {\nnamespace {\n}\n}\n")
        write(root, "host/cli/CMakeLists.txt",
              "add_executable(simdevice main.cpp)\n"
              "# a comment naming target_link_libraries(platform_foundation PUBLIC simdevice)\n"
              "target_link_libraries(simdevice PRIVATE platform_foundation)\n")
        return root

    def test_a_lawful_tree_passes(self):
        result = run_check(self.tree())
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_each_upward_use_fails(self):
        cases = {
            "an include up": ("platform/foundation/value.cpp", '#include "host/cli/command_table.h"\n',
                              "platform/foundation/ may not use host/cli/"),
            "an include between the deliverables": ("tweak/hooks.cpp", '#include "prefs/panes.h"\n',
                                                    "tweak/ may not use prefs/"),
            "a link up": ("platform/foundation/CMakeLists.txt",
                          "target_link_libraries(platform_foundation PUBLIC\n  simdevice)\n",
                          "platform_foundation linking simdevice"),
            "a folder without a row": ("host/gadget/gadget.cpp", "int gadget;\n", "host/gadget/: holds sources"),
            "a namespace of another folder": ("host/cli/old.cpp", 'namespace cli {\nconst char* s = "}";\n}\n',
                                              "namespace cli does not follow its folder"),
            "a test in a folder it does not mirror": ("tests/cli/other_test.cpp", "namespace px::history {\n}\n",
                                                      "namespace px::history does not follow"),
        }
        for name, (path, text, message) in cases.items():
            with self.subTest(name):
                root = self.tree()
                write(root, path, text)
                result = run_check(root)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(message, result.stderr)


if __name__ == "__main__":
    unittest.main()
