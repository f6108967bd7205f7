"""Starts one of our servers with Debian's Python, waits for its READY line
and stops it by its process id."""

import os
import selectors
import signal
import subprocess
import time

PYTHON = "/usr/bin/python3"
HERE = os.path.dirname(os.path.abspath(__file__))
FAMILY_FTPD = os.path.join(HERE, "familyftpd.py")
INDEX_SERVER = os.path.join(HERE, "indexserver.py")


class ServerError(RuntimeError):
    pass


def parse_ready_line(line):
    """"READY port=1 base=x" -> {"port": "1", "base": "x"}; None for other lines."""
    words = line.split()
    if not words or words[0] != "READY":
        return None
    return dict(word.partition("=")[::2] for word in words[1:])


class ServerProcess:
    """`fields` holds the READY line's values once started; `port` is its port.
    The server's other output goes to `log_path` (a file the caller names)."""

    def __init__(self, script, arguments, log_path, ready_timeout=30.0):
        self._command = [PYTHON, script, *arguments]
        self._log_path = log_path
        self._ready_timeout = ready_timeout
        self._process = None
        self.fields = {}

    @property
    def port(self):
        return int(self.fields["port"])

    def start(self):
        with open(self._log_path, "ab") as log:
            self._process = subprocess.Popen(self._command, stdout=subprocess.PIPE, stderr=log,
                                             stdin=subprocess.DEVNULL)
        try:
            self.fields = self._wait_for_ready()
        except BaseException:
            self.stop()
            raise
        return self

    def _wait_for_ready(self):
        deadline = time.monotonic() + self._ready_timeout
        with selectors.DefaultSelector() as selector:
            selector.register(self._process.stdout, selectors.EVENT_READ)
            while (left := deadline - time.monotonic()) > 0:
                if not selector.select(left):
                    continue
                line = self._process.stdout.readline().decode("utf8", "replace")
                if not line:
                    raise ServerError(f"{self._command[1]} ended before it was ready; "
                                      f"see {self._log_path}")
                fields = parse_ready_line(line)
                if fields is not None:
                    return fields
        raise ServerError(f"{self._command[1]} not ready after {self._ready_timeout} s")

    def wait(self, timeout):
        return self._process.wait(timeout)

    def stop(self):
        if self._process is None:
            return
        if self._process.poll() is None:
            os.kill(self._process.pid, signal.SIGTERM)
            try:
                self._process.wait(5)
            except subprocess.TimeoutExpired:
                os.kill(self._process.pid, signal.SIGKILL)
                self._process.wait(5)
        self._process.stdout.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc_info):
        self.stop()
