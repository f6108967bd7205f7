#!/usr/bin/python3
"""Runs the program against real servers on this machine:

  demo.py <path-to-ranquil> [arguments for the program]

It prepares the sample tree, starts the family FTP server and the index
server on free ports, writes the bookmarks and the network list into the
demo's program folder, runs the program there (under xvfb-run when there is
no display) and stops both servers when the program ends. Everything lives
in $RANQUIL_DEMO_DIR (default ~/.cache/ranquil-demo); the exit status is
the program's."""

import os
import shutil
import signal
import subprocess
import sys

from demofiles import (DEMO_PASSWORD, DEMO_USER, P2P_USER, ROAMING_P2P_USER, WEBLINK_FOLDER,
                       free_port, make_tree, next_version, write_links, write_network_list,
                       write_upgrade_address)
from serverprocess import FAMILY_FTPD, INDEX_SERVER, ServerError, ServerProcess

# The servers end with the program; this only bounds a demo left running.
SERVER_LIFETIME = 24 * 60 * 60


def demo_folder():
    default = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                           "ranquil-demo")
    return os.environ.get("RANQUIL_DEMO_DIR") or default


def program_command(program, arguments):
    if os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"):
        return [program, *arguments]
    if shutil.which("xvfb-run") is None:
        raise SystemExit("demo: no display and no xvfb-run; install xvfb (bash scripts/install.sh)")
    return ["xvfb-run", "-a", program, *arguments]


def _stop_on_terminate(signal_number, frame):
    raise SystemExit(128 + signal_number)


def processes_running(executable, group):
    """Ids of the processes of a process group that run this executable."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.getpgid(int(entry)) == group and \
                    os.path.realpath(f"/proc/{entry}/exe") == executable:
                found.append(int(entry))
        except OSError:
            continue
    return found


def program_version(program):
    return subprocess.run([program, "--version"], check=True, capture_output=True,
                          text=True, timeout=30).stdout


def run_program(executable, command, environment):
    """Runs the program in a process group of its own (with xvfb-run and its
    display server, when used). Ctrl+C and SIGTERM are passed on to the
    program alone, so it shuts down cleanly while its display still lives
    (to the whole group when the program cannot be told apart, as with a
    script); a second signal kills the group."""
    program = subprocess.Popen(command, env=environment, start_new_session=True)
    signals_seen = []

    def forward(signal_number, frame):
        signals_seen.append(signal_number)
        try:
            if len(signals_seen) > 1:
                os.killpg(program.pid, signal.SIGKILL)
                return
            targets = processes_running(executable, program.pid)
            if not targets:
                os.killpg(program.pid, signal_number)
            for target in targets:
                os.kill(target, signal_number)
        except ProcessLookupError:
            pass

    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, forward)
    status = program.wait()
    return 128 - status if status < 0 else status


def run_demo(program, arguments):
    folder = demo_folder()
    home, tree, logs = (os.path.join(folder, name) for name in ("home", "tree", "logs"))
    os.makedirs(home, mode=0o700, exist_ok=True)
    shutil.rmtree(logs, ignore_errors=True)
    os.makedirs(logs)
    print(f"demo: preparing the sample tree in {tree}", file=sys.stderr)
    make_tree(tree)
    index_port = free_port()
    ftp_arguments = ["--root", tree, "--lifetime", str(SERVER_LIFETIME),
                     "--user", f"{DEMO_USER}:{DEMO_PASSWORD}",
                     "--weblink", f"{WEBLINK_FOLDER}=http://127.0.0.1:{index_port}/",
                     "--command-log", os.path.join(logs, "ftp-commands.log")]
    with ServerProcess(FAMILY_FTPD, ftp_arguments, os.path.join(logs, "familyftpd.log")) as ftp:
        write_links(tree, home, ftp.port)
        index_arguments = ["--port", str(index_port), "--lifetime", str(SERVER_LIFETIME),
                           "--server", f"{P2P_USER},127.0.0.1,{ftp.port},1,6,US,{tree}",
                           "--server", f"{ROAMING_P2P_USER},127.0.0.1,{ftp.port},0,3,DE,{tree}",
                           "--request-log", os.path.join(logs, "index-requests.log"),
                           # The upgrade check finds a newer version and shows its link.
                           "--latest-version", next_version(program_version(program))]
        with ServerProcess(INDEX_SERVER, index_arguments,
                           os.path.join(logs, "indexserver.log")) as index:
            write_network_list(home, index.fields["base"])
            write_upgrade_address(home, f"http://127.0.0.1:{index.port}/ranquil/latest.txt")
            print(f"demo: FTP server on 127.0.0.1:{ftp.port} (anonymous, or {DEMO_USER}/"
                  f"{DEMO_PASSWORD}); index server at {index.fields['base']}\n"
                  f"demo: program folder {home}; server logs in {logs}", file=sys.stderr)
            return run_program(program, program_command(program, arguments),
                               dict(os.environ, RANQUIL_HOME=home))


def main(argv):
    if not argv:
        raise SystemExit("usage: demo.py <path-to-ranquil> [arguments]")
    program, arguments = os.path.realpath(argv[0]), argv[1:]
    if not (os.path.isfile(program) and os.access(program, os.X_OK)):
        raise SystemExit(f"demo: {argv[0]} is not an executable program; "
                         "build it first (bash scripts/build.sh)")
    signal.signal(signal.SIGTERM, _stop_on_terminate)
    try:
        return run_demo(program, arguments)
    except ServerError as error:
        raise SystemExit(f"demo: {error}") from None


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
