#!/usr/bin/env bash
# Builds the transfer worker's and the download's tests with ThreadSanitizer
# into build-tsan/ (or $RANQUIL_TSAN_DIR), runs them, and fails when a report
# has a frame of ours (a source file under src/ or tests/).
#
# Qt is not built with ThreadSanitizer, so its own thread teardown gives
# reports whose every frame lies in Qt's libraries or the C library; those
# are counted and set aside. A suppression file cannot say "no frame of
# ours" (a race: pattern hides every report with a Qt frame in it, ours
# included), so the reports are sorted after the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${RANQUIL_TSAN_DIR:-$root/build-tsan}
targets=(worker_rules worker_servers download_rules download_servers)
launcher=()
if command -v ccache >/dev/null; then
  # As in build.sh: worktrees side by side share one cache.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1 -g" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" --target "${targets[@]}"

logs=$build/tsan-logs
rm -rf "$logs"
mkdir -p "$logs"
cd "$build"
status=0
TSAN_OPTIONS="halt_on_error=0 exitcode=0 die_after_fork=0 second_deadlock_stack=1 log_path=$logs/report" \
  ctest -R 'WorkerServers|WorkerCache|Worker/|Worker[A-Z]|Download' -E 'Sparse' --output-on-failure || status=$?

# One report runs from its WARNING line to the next line of "=" signs.
sort_reports() {
/usr/bin/python3 - "$logs" "$root" <<'PY'

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
PY
}
sort_reports || status=1
exit $status
