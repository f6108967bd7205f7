"""MD5 digests of shared files, written as our family writes them."""

import hashlib
import os
import threading

_READ_SIZE = 1 << 20


def md5_hex(path):
    """The file's MD5 as 32 upper-case hexadecimal characters."""
    digest = hashlib.md5()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(_READ_SIZE), b""):
            digest.update(block)
    return digest.hexdigest().upper()


class DigestCache:
    """Remembers digests until the file's size, time or inode changes, so a
    client that asks for the digest of a large file many times does not
    make the server read it every time."""

    def __init__(self):
        self._known = {}
        self._lock = threading.Lock()

    def md5_of(self, path):
        status = os.stat(path)
        key = (status.st_size, status.st_mtime_ns, status.st_ino)
        with self._lock:
            known = self._known.get(path)
        if known is not None and known[0] == key:
            return known[1]
        digest = md5_hex(path)
        with self._lock:
            self._known[path] = (key, digest)
        return digest
