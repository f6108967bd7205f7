"""Sorts ThreadSanitizer's reports after a run: those with an access in our
own code (a source file under src/ or tests/) fail the run; those whose
accesses lie in Qt's libraries or the C library only are Qt's own (its
thread teardown: Qt is not built with ThreadSanitizer) and are counted.

A suppression file cannot say "no frame of ours": a race: pattern on Qt's
library names hides every report with a Qt frame anywhere in it, and every
event handler of ours runs below Qt's frames.

Usage: tsan_reports.py <folder of report files> <source root>
"""
import glob, os, re, sys
logs, root = sys.argv[1], sys.argv[2]
# ccache's base folder makes the paths relative to the build folder.
ours_pattern = re.compile(r"\s(?:\.\./|" + re.escape(root) + r"/)(?:src|tests)/")
ours, qt_only = [], 0
access = re.compile(r"^  (Previous )?(atomic )?(write|read)", re.I)


def access_stacks(report):
    stacks, current = [], None
    for line in report:
        if re.match(r"^  \S", line):
            current = [] if access.match(line) else None
            if current is not None:
                stacks.append(current)
        elif current is not None and re.match(r"^\s+#\d", line):
            current.append(line)
    return stacks


def first_frame_outside_the_runtime(stack):
    return next((f for f in stack if "libtsan" not in f and "/libsanitizer/" not in f), "")


def has_frame_of_ours(report):
    # Only the two accesses count: the stacks that created the threads
    # always pass through the tests. Memory that Qt alone touches (its
    # thread teardown, say) is Qt's, whoever called into Qt.
    stacks = access_stacks(report)
    if stacks and all("(libQt6" in first_frame_outside_the_runtime(s) for s in stacks):
        return False
    return any(ours_pattern.search(f) for s in stacks for f in s)


for path in sorted(glob.glob(os.path.join(logs, "report*"))):
    report = []
    for line in open(path, errors="replace"):
        if line.startswith("WARNING: ThreadSanitizer:"):
            report = [line]
        elif report:
            report.append(line)
            if line.startswith("=================="):
                if has_frame_of_ours(report):
                    ours.append("".join(report))
                else:
                    qt_only += 1
                report = []
print(f"ThreadSanitizer: {len(ours)} report(s) with a frame of ours, {qt_only} inside Qt or libc only")
for text in ours:
    print(text)
sys.exit(1 if ours else 0)
