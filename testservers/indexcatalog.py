"""What the index server knows: every entry of every shared folder, found
once at start, and the searches over them."""

import os
import stat
import time
from dataclasses import dataclass

from digests import DigestCache
from matching import names_match
from indexsettings import SharedServer

# The seven categories of the search box: 0 all, 1 music, 2 videos,
# 3 pictures, 4 software, 5 documents, 6 everything else.
CATEGORY_EXTENSIONS = {
    1: frozenset({"mp3", "wav", "wma", "ogg", "flac", "aac", "m4a", "mid", "midi"}),
    2: frozenset({"avi", "mpg", "mpeg", "mov", "mp4", "mkv", "wmv", "flv", "webm"}),
    3: frozenset({"jpg", "jpeg", "gif", "png", "bmp", "tif", "tiff", "svg"}),
    4: frozenset({"exe", "zip", "rar", "msi", "gz", "tgz", "7z", "tar", "bz2", "deb", "iso"}),
    5: frozenset({"doc", "docx", "txt", "rtf", "pdf", "xls", "xlsx", "ppt", "odt", "htm", "html"}),
}
OTHERS = 6
KNOWN_EXTENSIONS = frozenset().union(*CATEGORY_EXTENSIONS.values())
RESULT_COUNTS = {"0": 50, "1": 100, "2": 200}
ALL_COUNTRIES = "UN"
_UNWRITABLE = ("*", "\r", "\n")


@dataclass(frozen=True)
class Entry:
    server: SharedServer
    kind: str           # "d" folder, "-" file, "l" link
    modified: float
    size: int
    folder: str         # as the FTP server shows it, ending in "/"
    name: str
    md5: str            # empty unless a regular file

    @property
    def extension(self):
        stem, dot, extension = self.name.rpartition(".")
        return extension.lower() if dot and stem else ""

    def result_line(self):
        """The 12 fields of a result line, joined by "*"."""
        server = self.server
        return "*".join((
            server.user, server.address, str(server.port), str(server.speed),
            "1" if server.persistent else "0", server.country, self.kind,
            time.strftime("%Y%m%d%H%M%S", time.gmtime(self.modified)), str(self.size),
            self.folder, self.name, self.md5))


def in_category(entry, category):
    if category in CATEGORY_EXTENSIONS:
        return entry.kind == "-" and entry.extension in CATEGORY_EXTENSIONS[category]
    if category == OTHERS:
        return entry.kind != "-" or entry.extension not in KNOWN_EXTENSIONS
    return True


def _entry_of(server, path, digests):
    status = os.lstat(path)
    relative_folder = os.path.relpath(os.path.dirname(path), server.folder)
    folder = "/" if relative_folder == "." else "/" + relative_folder.replace(os.sep, "/") + "/"
    name = os.path.basename(path)
    if any(mark in folder + name for mark in _UNWRITABLE):
        return None  # a result line cannot carry it
    if stat.S_ISDIR(status.st_mode):
        return Entry(server, "d", status.st_mtime, 0, folder, name, "")
    if stat.S_ISLNK(status.st_mode):
        return Entry(server, "l", status.st_mtime, status.st_size, folder, name, "")
    if stat.S_ISREG(status.st_mode):
        return Entry(server, "-", status.st_mtime, status.st_size, folder, name,
                     digests.md5_of(path))
    return None


def walk_server(server, digests):
    """Every entry below the shared folder, in path order; links are listed
    as links and not followed."""
    entries = []
    for folder, subfolders, files in os.walk(server.folder):
        subfolders.sort()
        for name in sorted(subfolders + files):
            entry = _entry_of(server, os.path.join(folder, name), digests)
            if entry is not None:
                entries.append(entry)
    return entries


class Catalog:
    def __init__(self, servers):
        digests = DigestCache()
        self.servers = tuple(servers)
        self.entries = tuple(entry for server in self.servers
                             for entry in walk_server(server, digests))

    def search(self, keywords, any_keyword, category, country, limit):
        found = []
        for entry in self.entries:
            if len(found) == limit:
                break
            if country != ALL_COUNTRIES and entry.server.country != country:
                continue
            if in_category(entry, category) and names_match(entry.name, keywords, any_keyword):
                found.append(entry)
        return found

    def with_md5(self, md5):
        wanted = md5.upper()
        return [entry for entry in self.entries if entry.md5 and entry.md5 == wanted]

    def server_of_user(self, user):
        return next((server for server in self.servers if server.user == user), None)
