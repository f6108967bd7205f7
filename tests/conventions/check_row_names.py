"""Checks that every parameterised table of the suites names its rows.

Without a row-name function GoogleTest names rows 0, 1, 2..., which say
nothing and shift when a row is added; CTest then shows the printed values
instead, which are long and can change between builds.

Usage: check_row_names.py <tests dir>
"""
import os
import sys
import unittest

TESTS_DIR = sys.argv.pop(1) if len(sys.argv) > 1 else '.'
MACRO = 'INSTANTIATE_TEST_SUITE_P'


def top_level_arguments(text, start):
    """The arguments of the call whose "(" is at text[start], split at the
    commas outside brackets, strings, characters and comments."""
    arguments, current, depth, i = [], [], 0, start + 1
    while i < len(text):
        c = text[i]
        if text.startswith('//', i):
            i = text.find('\n', i)
            continue
        if text.startswith('/*', i):
            i = text.find('*/', i) + 2
            continue
        if c in '"\'':
            end = i + 1
            while text[end] != c:
                end += 2 if text[end] == '\\' else 1
            current.append(text[i:end + 1])
            i = end + 1
            continue
        if c in '([{':
            depth += 1
        elif c in ')]}':
            if depth == 0:
                arguments.append(''.join(current).strip())
                return arguments
            depth -= 1
        elif c == ',' and depth == 0:
            arguments.append(''.join(current).strip())
            current = []
            i += 1
            continue
        current.append(c)
        i += 1
    raise ValueError('unbalanced ' + MACRO)


def tables():
    for folder, _, names in os.walk(TESTS_DIR):
        for name in sorted(names):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding='utf-8', errors='replace') as f:
                text = f.read()
            at = text.find(MACRO + '(')
            while at >= 0:
                line = text.count('\n', 0, at) + 1
                yield f'{os.path.relpath(path, TESTS_DIR)}:{line}', top_level_arguments(text, at + len(MACRO))
                at = text.find(MACRO + '(', at + 1)


class RowNames(unittest.TestCase):
    def test_every_table_has_a_row_name_function(self):
        unnamed = [where for where, arguments in tables() if len(arguments) < 4]
        self.assertEqual(unnamed, [], 'tables without a row-name function')

    def test_the_check_sees_the_tables(self):
        self.assertGreater(len(list(tables())), 10)


if __name__ == '__main__':
    unittest.main()
