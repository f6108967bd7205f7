"""Checks that dependencies point down the house.

- nothing outside src/app includes "app/...";
- src/net includes nothing of the program's other folders;
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
import unittest

SOURCE_DIR = sys.argv.pop(1) if len(sys.argv) > 1 else '.'
CORE_PROGRAM = sys.argv.pop(1) if len(sys.argv) > 1 else ''
QT_INCLUDE = '/usr/include/x86_64-linux-gnu/qt6'
PROGRAM_FOLDERS = ('app', 'common', 'net', 'p2p', 'session', 'settings', 'transfer')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def sources():
    src = os.path.join(SOURCE_DIR, 'src')
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


class Layers(unittest.TestCase):
    def test_only_the_shell_includes_the_shell(self):
        wrong = [f'{rel} -> {inc}' for rel, incs in sources() for _, inc in incs
                 if inc.startswith('app/') and not rel.startswith('app/')]
        self.assertEqual(wrong, [])

    def test_the_network_layer_knows_nothing_of_the_program(self):
        others = tuple(f'{folder}/' for folder in PROGRAM_FOLDERS if folder != 'net')
        wrong = [f'{rel} -> {inc}' for rel, incs in sources() for _, inc in incs
                 if rel.startswith('net/') and inc.startswith(others)]
        self.assertEqual(wrong, [])

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
