"""The server's view of a user's folder: UNIX or DOS listings, and the virtual
folder that holds the results of the last search."""

import os
import stat
import time

from pyftpdlib.filesystems import AbstractedFS

from matching import names_match

SEARCH_FOLDER = "/<ZeltaSearchResults>"
SEARCH_LIMIT = 1000
_SIX_MONTHS = 180 * 24 * 60 * 60


def unix_line(status, name, now):
    """One line in the form of "ls -l"."""
    when = time.gmtime(status.st_mtime)
    if now - status.st_mtime > _SIX_MONTHS:
        date = time.strftime("%b %d  %Y", when)
    else:
        date = time.strftime("%b %d %H:%M", when)
    return (f"{stat.filemode(status.st_mode)} {status.st_nlink:3d} owner    group    "
            f"{status.st_size:8d} {date} {name}")


def dos_line(status, name):
    """One line in the form of a DOS or Windows server: MM-DD-YY, 12-hour
    time, then "<DIR>" or the size."""
    when = time.gmtime(status.st_mtime)
    column = "      <DIR>         " if stat.S_ISDIR(status.st_mode) else f"{status.st_size:20d}"
    return f"{time.strftime('%m-%d-%y  %I:%M%p', when)} {column} {name}"


class FamilyFilesystem(AbstractedFS):
    """Set per server by the handler factory: `listing_style` ("unix" or
    "dos") and `search_enabled`."""

    listing_style = "unix"
    search_enabled = True

    def __init__(self, root, cmd_channel):
        super().__init__(root, cmd_channel)
        self.search_results = []

    def is_search_folder(self, path):
        return self.search_enabled and self.fs2ftp(path) == SEARCH_FOLDER

    def chdir(self, path):
        if self.is_search_folder(path):
            self.cwd = SEARCH_FOLDER
            return
        super().chdir(path)

    def isdir(self, path):
        return self.is_search_folder(path) or super().isdir(path)

    # --- listings

    def format_list(self, basedir, listing, ignore_err=True):
        now = time.time()
        for basename in listing:
            line = self._listing_line(os.path.join(basedir, basename), basename, now)
            if line is not None:
                yield line
            elif not ignore_err:
                raise OSError(f"cannot read {basename}")

    def format_search_results(self):
        """The virtual folder's listing: full paths in the name column,
        folders ending in "/"."""
        now = time.time()
        for ftp_path in self.search_results:
            line = self._listing_line(self.ftp2fs(ftp_path), ftp_path, now, name_is_path=True)
            if line is not None:
                yield line

    def _listing_line(self, path, name, now, name_is_path=False):
        try:
            status = os.lstat(path)
            if self.listing_style == "dos" and stat.S_ISLNK(status.st_mode):
                # DOS listings know no links: show what the link points at.
                status = os.stat(path)
        except OSError:
            return None
        if name_is_path and stat.S_ISDIR(status.st_mode):
            name += "/"
        if self.listing_style == "dos":
            text = dos_line(status, name)
        else:
            if stat.S_ISLNK(status.st_mode):
                name += " -> " + os.readlink(path)
            text = unix_line(status, name, now)
        return (text + "\r\n").encode("utf8", self.cmd_channel.unicode_errors)

    # --- search

    def search(self, keywords, any_keyword):
        """Paths (as the client sees them) of the entries below the user's
        root whose names match, in path order; links are not followed."""
        found = []
        for folder, subfolders, files in os.walk(self.root):
            for name in subfolders + files:
                if names_match(name, keywords, any_keyword):
                    relative = os.path.relpath(os.path.join(folder, name), self.root)
                    found.append("/" + relative.replace(os.sep, "/"))
        found.sort()
        return found[:SEARCH_LIMIT]
