"""Checks that dependencies point down the house.

- every include of a program folder points to the including folder itself or
  to a lower floor (FLOORS, lowest first); folders of one floor do not include
  each other, and a ui/ folder sits above its own core, so no core file
  includes a view;
- no file outside a ui/ folder (and the entry point) includes a QtWidgets or
  QtGui header;
- a test program that links only the core library loads neither QtGui nor
  QtWidgets.

Usage: check_layers.py <source dir> <core-only test program>
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = sys.argv.pop(1) if len(sys.argv) > 1 else '.'
CORE_PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else ''
QT_INCLUDE = '/usr/include/x86_64-linux-gnu/qt6'
FLOORS = (('common', 'net'), ('remote',), ('settings',), ('p2p',), ('transfer',), ('session', 'search'), ('app',))
FLOOR_OF = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def sources(source_dir=None):
    src = os.path.join(source_dir or SOURCE_DIR, 'src')
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(('.h', '.cpp')):
                path = os.path.join(folder, name)
                rel = os.path.relpath(path, src)
                with open(path, encoding='utf-8', errors='replace') as f:
                    yield rel, [(m.group(1), m.group(2)) for m in INCLUDE.finditer(f.read())]


def gui_headers():
    names = set()
    for module in ('QtWidgets', 'QtGui'):
        folder = os.path.join(QT_INCLUDE, module)
        if os.path.isdir(folder):
            names.update(n for n in os.listdir(folder) if not n.endswith('.h') or n.startswith('q'))
        names.add(module)
    return names


def is_view(rel):
    return '/ui/' in '/' + rel or rel == os.path.join('app', 'main.cpp')


def place(rel):
    """(folder, is a view) of a path below src/, or None outside the program's folders."""
    folder = rel.split('/')[0]
    return (folder, is_view(rel)) if folder in FLOOR_OF else None


def may_include(includer, included):
    (folder, view), (target, target_view) = includer, included
    if target_view and not view:
        return False
    return target == folder or FLOOR_OF[target] < FLOOR_OF[folder]


def upward_includes(source_dir=None):
    wrong = []
    for rel, incs in sources(source_dir):
        includer = place(rel)
        for kind, inc in incs:
            included = place(inc) if kind == '"' else None
            if includer and included and not may_include(includer, included):
                wrong.append(f'{rel} -> {inc}')
    return wrong


class Layers(unittest.TestCase):
    def test_every_include_points_to_its_own_floor_or_below(self):
        self.assertEqual(upward_includes(), [])

    def test_a_planted_upward_include_is_caught(self):
        planted = {
            'remote/Entry.h': '#include "session/FtpClient.h"\n',
            'session/FtpClient.h': '#include "remote/Entry.h"\n#include "search/Search.h"\n',
            'transfer/Walk.cpp': '#include "transfer/ui/LoadFrameView.h"\n#include <QString>\n',
            'transfer/ui/LoadFrameView.h': '#include "session/ui/Frame.h"\n#include "p2p/ui/X.h"\n',
            'app/Main.cpp': '#include "session/FtpClient.h"\n#include "search/Search.h"\n',
        }
        with tempfile.TemporaryDirectory() as root:
            for rel, text in planted.items():
                path = os.path.join(root, 'src', rel)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, 'w', encoding='utf-8') as f:
                    f.write(text)
            self.assertEqual(sorted(upward_includes(root)), [
                'remote/Entry.h -> session/FtpClient.h',
                'session/FtpClient.h -> search/Search.h',
                'transfer/Walk.cpp -> transfer/ui/LoadFrameView.h',
                'transfer/ui/LoadFrameView.h -> session/ui/Frame.h',
            ])

    def test_widgets_and_gui_stay_in_the_views(self):
        gui = gui_headers()
        self.assertIn('QWidget', gui, 'Qt headers not found under ' + QT_INCLUDE)
        wrong = [f'{rel} -> {inc}' for rel, incs in sources() for kind, inc in incs
                 if kind == '<' and not is_view(rel)
                 and (inc.split('/')[0] in ('QtWidgets', 'QtGui') or inc in gui)]
        self.assertEqual(wrong, [])

    def test_the_core_library_loads_no_gui_module(self):
        if not CORE_PROGRAM:
            self.skipTest('no core-only program given')
        libraries = subprocess.run(['ldd', CORE_PROGRAM], capture_output=True, text=True, check=True).stdout
        self.assertIn('libQt6Core', libraries)
        self.assertNotIn('libQt6Gui', libraries)
        self.assertNotIn('libQt6Widgets', libraries)


if __name__ == '__main__':
    unittest.main(verbosity=2)
