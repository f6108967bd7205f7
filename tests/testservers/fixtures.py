"""What the server tests share: a sample tree, servers started on free ports
and stopped by process id, and logged-in FTP clients."""

import ftplib
import hashlib
import os
import sys
import tempfile
import unittest
from pathlib import Path

SOURCE_ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE_ROOT / "testservers"))

from serverprocess import FAMILY_FTPD, INDEX_SERVER, ServerProcess  # noqa: E402

# Long enough for any test, short enough that a crashed test leaves nothing behind.
TEST_LIFETIME = 120
NAMED_USER = "bob"
NAMED_PASSWORD = "secret"

SAMPLE_FILES = {
    "pub/docs/readme.txt": b"hello readme\n",
    "pub/docs/Guide Book.TXT": b"guide line\n" * 100,
    "pub/docs/old/history.txt": b"old times\n",
    "pub/music/song one.mp3": bytes(range(256)) * 40,
    "big.bin": bytes((index * 7) % 251 for index in range(256 * 1024)),
}
SAMPLE_LINKS = {"pub/latest": "docs"}
SAMPLE_FOLDERS = ("incoming",)


def make_sample_tree(root):
    for name, content in SAMPLE_FILES.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as stream:
            stream.write(content)
    for name, target in SAMPLE_LINKS.items():
        os.symlink(target, os.path.join(root, name))
    for name in SAMPLE_FOLDERS:
        os.makedirs(os.path.join(root, name), exist_ok=True)


def md5_upper(content):
    return hashlib.md5(content).hexdigest().upper()


class ServerTestCase(unittest.TestCase):
    """Each test gets a fresh sample tree in `self.root`."""

    def setUp(self):
        self.root = self.make_folder()
        make_sample_tree(self.root)

    def make_folder(self):
        folder = tempfile.TemporaryDirectory(prefix="ranquil-servers-")
        self.addCleanup(folder.cleanup)
        return folder.name

    def _start(self, script, arguments):
        """A later --lifetime among `arguments` overrides the default."""
        log = os.path.join(self.make_folder(), "server.log")
        server = ServerProcess(script, ["--lifetime", str(TEST_LIFETIME), *arguments], log)
        server.start()
        self.addCleanup(server.stop)
        return server

    def start_ftp(self, *switches, root=None):
        arguments = ["--root", root or self.root, "--user", f"{NAMED_USER}:{NAMED_PASSWORD}"]
        return self._start(FAMILY_FTPD, [*arguments, *switches])

    def start_index(self, *switches):
        return self._start(INDEX_SERVER, list(switches))

    def connect(self, server, timeout=10):
        client = ftplib.FTP(timeout=timeout)
        client.connect("127.0.0.1", server.port)
        self.addCleanup(client.close)
        return client

    def login(self, server, user="anonymous", password="guest@"):
        client = self.connect(server)
        client.login(user, password)
        return client

    def retrieve(self, client, path):
        chunks = []
        client.retrbinary(f"RETR {path}", chunks.append)
        return b"".join(chunks)

    def listing(self, client, path=None):
        lines = []
        client.retrlines("LIST" if path is None else f"LIST {path}", lines.append)
        return lines

    def assertRefused(self, call, code):
        """The server answered with an error reply of this code."""
        with self.assertRaises(ftplib.Error) as caught:
            call()
        self.assertTrue(str(caught.exception).startswith(code), str(caught.exception))
