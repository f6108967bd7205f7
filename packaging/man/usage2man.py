#!/usr/bin/python3
"""Writes a man page (roff, man macros) from a program's --help text, so the
page never says other than the program:

  usage2man.py PROGRAM SUMMARY VERSION < help-text > page.1

The text has the shape both of our programs print: "Usage: NAME ARGS", a
description in paragraphs, then sections that start with a line "Heading:"
and hold entries "  TERM  explanation" (two or more blanks between), whose
explanation may go on in lines indented further, or lines of plain text."""

import re
import sys

ENTRY = re.compile(r"^  (\S(?:\S| (?! ))*)  +(.*)$")
HEADING = re.compile(r"^(\S[^:]*):$")


def escape(text):
    """Roff text: backslashes doubled, hyphens of options and names kept as
    minus signs, and no line taken for a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def bold_options(text):
    return re.sub(r"(?<![\w\\])(\\-\\-?[\w\\-]+)", r"\\fB\1\\fR", text)


def sections(lines):
    """(heading, lines) pairs; the description has the heading None."""
    heading, body = None, []
    for line in lines:
        match = HEADING.match(line)
        if match:
            yield heading, body
            heading, body = match.group(1), []
        else:
            body.append(line)
    yield heading, body


def paragraphs(body):
    out, open_paragraph = [], False
    for line in body:
        if not line.strip():
            open_paragraph = False
            continue
        if not open_paragraph:
            out.append(".PP")
            open_paragraph = True
        out.append(escape(line.strip()))
    return out


def entries(body):
    """Entries as tagged paragraphs; the lines of an entry that go on, and
    plain lines in a row, stay one paragraph."""
    out, last = [], None
    for line in body:
        if not line.strip():
            last = None
            continue
        match = ENTRY.match(line)
        if match and last != "text":
            out += [".TP", bold_options(escape(match.group(1))), escape(match.group(2))]
            last = "entry"
        elif (last == "entry" and line.startswith("   ")) or last == "text":
            out.append(escape(line.strip()))
        else:
            out += [".PP", escape(line.strip())]
            last = "text"
    return out


def page(text, program, summary, version):
    lines = text.splitlines()
    if not lines or not lines[0].startswith("Usage: "):
        raise SystemExit(f"usage2man: the help text does not start with 'Usage: ': {lines[:1]}")
    synopsis = lines[0][len("Usage: "):].split(None, 1)
    out = [f'.TH {program.upper()} 1 "" "RanquilClient {version}" "User Commands"',
           ".SH NAME", f"{escape(program)} \\- {escape(summary)}",
           ".SH SYNOPSIS", f".B {escape(synopsis[0])}"]
    if len(synopsis) > 1:
        out.append(escape(synopsis[1]))
    for heading, body in sections(lines[1:]):
        if heading is None:
            out += [".SH DESCRIPTION", *paragraphs(body)]
        else:
            out += [f".SH {escape(heading.upper())}", *entries(body)]
    return "\n".join(out) + "\n"


def main(argv):
    if len(argv) != 3:
        raise SystemExit("usage: usage2man.py PROGRAM SUMMARY VERSION < help-text > page.1")
    sys.stdout.write(page(sys.stdin.read(), *argv))


if __name__ == "__main__":
    main(sys.argv[1:])
