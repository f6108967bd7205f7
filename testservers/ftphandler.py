"""The family's FTP dialect on top of pyftpdlib: SITE MD5, MD5S, WEBL, SRCH,
SRCHMODE and CHPWD, plus the switches and faults one server start asks for."""

import posixpath
from collections import deque
from functools import partial
from timeit import default_timer as timer

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import BufferedIteratorProducer, FTPHandler, proto_cmds

from digests import DigestCache
from ftpdatachannel import FamilyDataChannel
from ftpfilesystem import SEARCH_FOLDER, FamilyFilesystem
from ftpsettings import normalise_folder

NAMED_USER_RIGHTS = "elradfmwMT"

FAMILY_COMMANDS = dict(proto_cmds)
FAMILY_COMMANDS.update({
    "SITE MD5": dict(perm="r", auth=True, arg=True,
                     help="Syntax: SITE MD5 <SP> file-name (MD5 digest of a file)."),
    "SITE MD5S": dict(perm=None, auth=True, arg=None,
                      help="Syntax: SITE MD5S (are MD5 digests offered)."),
    "SITE WEBL": dict(perm=None, auth=True, arg=None,
                      help="Syntax: SITE WEBL (web link of the current folder)."),
    "SITE SRCHMODE": dict(perm=None, auth=True, arg=True,
                          help="Syntax: SITE SRCHMODE <SP> 0|1 (all keywords or any)."),
    "SITE SRCH": dict(perm=None, auth=True, arg=True,
                      help="Syntax: SITE SRCH <SP> keywords (search file names)."),
    "SRCH": dict(perm=None, auth=True, arg=True,
                 help="Syntax: SRCH <SP> keywords (search file names)."),
    "SITE CHPWD": dict(perm=None, auth=True, arg=True,
                       help="Syntax: SITE CHPWD <SP> new-password (change your password)."),
})


class ServerState:
    """What the connections of one server share: the session count and the
    faults still to be used up."""

    def __init__(self, settings):
        self.sessions = 0
        self._drops_left = settings.drop_transfers
        self._listing_drops_left = settings.drop_listings
        self._pass_refusals_left = settings.refuse_pass
        self._idle_passive_drops_left = settings.drop_idle_passive
        self._command_log = open(settings.command_log, "a", encoding="utf8") \
            if settings.command_log else None

    def take_drop(self):
        if self._drops_left <= 0:
            return False
        self._drops_left -= 1
        return True

    def take_listing_drop(self):
        if self._listing_drops_left <= 0:
            return False
        self._listing_drops_left -= 1
        return True

    def take_pass_refusal(self):
        if self._pass_refusals_left <= 0:
            return False
        self._pass_refusals_left -= 1
        return True

    def take_idle_passive_drop(self):
        if self._idle_passive_drops_left <= 0:
            return False
        self._idle_passive_drops_left -= 1
        return True

    def log_command(self, line):
        if self._command_log is not None:
            self._command_log.write(line + "\n")
            self._command_log.flush()


class DelayedReplies:
    """Holds back everything a control connection sends by a fixed time,
    keeping the order (a closing connection is queued like a reply)."""

    def __init__(self, channel, delay):
        self._channel = channel
        self._delay = delay
        self._queue = deque()

    def add(self, action):
        self._queue.append((timer() + self._delay, action))
        if len(self._queue) == 1:
            self._channel.call_later(self._delay, self._release)

    def _release(self):
        now = timer()
        while self._queue and self._queue[0][0] <= now:
            self._queue.popleft()[1]()
        if self._queue:
            self._channel.call_later(self._queue[0][0] - now, self._release)


class FamilyHandler(FTPHandler):
    """Class attributes `settings`, `state`, `digests` and the pyftpdlib ones
    are filled in per server by `make_handler`."""

    settings = None
    state = None
    digests = None
    abstracted_fs = FamilyFilesystem
    dtp_handler = FamilyDataChannel
    # Tests refuse passwords on purpose; the stock 3 s penalty only slows them.
    auth_failed_timeout = 0.1

    def __init__(self, conn, server, ioloop=None):
        self._counted = False
        self._search_any = False
        self._replies = DelayedReplies(self, self.settings.reply_delay) \
            if self.settings.reply_delay else None
        super().__init__(conn, server, ioloop=ioloop)

    # --- sessions, greeting, replies

    def handle(self):
        limit = self.settings.max_connections
        if limit and self.state.sessions >= limit:
            self.respond("421 Too many users connected, try again later.")
            self.close_when_done()
            return
        self.state.sessions += 1
        self._counted = True
        *first, last = self.settings.banner
        for line in first:
            self.push(f"220-{line}\r\n")
        self.respond(f"220 {last}")

    def close(self):
        if self._counted:
            self._counted = False
            self.state.sessions -= 1
        super().close()

    def push(self, s):
        if self._replies is None:
            super().push(s)
        else:
            self._replies.add(partial(super().push, s))

    def close_when_done(self):
        if self._replies is None:
            super().close_when_done()
        else:
            self._replies.add(super().close_when_done)

    def _on_dtp_connection(self):
        # What pyftpdlib sometimes does on its own: a passive connection that
        # arrives before its command is closed, and the command then answers
        # 150 and waits for a connection that never comes.
        idle_passive = self._dtp_acceptor is not None and self._out_dtp_queue is None \
            and self._in_dtp_queue is None
        super()._on_dtp_connection()
        # pyftpdlib keeps the connector of an active connection after handing
        # its socket to the data channel, and closes it at the next PORT or
        # at logout: that unregisters its old descriptor number from the
        # event loop, which by then often belongs to another session's data
        # channel, and that transfer then stalls until the client gives up.
        self._dtp_connector = None
        if idle_passive and self.data_channel is not None and self.state.take_idle_passive_drop():
            self.data_channel.close()

    def pre_process_command(self, line, cmd, arg):
        self.state.log_command(line)
        super().pre_process_command(line, cmd, arg)

    # --- stock commands with the family's behaviour

    def ftp_PASS(self, line):
        if not self.authenticated and self.username and self.state.take_pass_refusal():
            self.handle_auth_failed("Login incorrect.", line)
            return
        super().ftp_PASS(line)

    def ftp_REST(self, line):
        # Unlike pyftpdlib, the family accepts REST in ASCII mode too: clients
        # probe "REST 100" right after login, before any TYPE.
        try:
            marker = int(line)
            if marker < 0:
                raise ValueError
        except (ValueError, OverflowError):
            self.respond("501 Invalid parameter.")
            return
        self._restart_position = marker
        self.respond(f"350 Restarting at position {marker}.")

    def ftp_SIZE(self, path):
        # Answered in ASCII mode too (the byte size on disk), as the family does.
        if not self.fs.isfile(path):
            self.respond(f"550 {self.fs.fs2ftp(path)} is not retrievable.")
            return
        if self.settings.size_reply is not None:
            self.respond(f"213 {self.settings.size_reply}")
            return
        try:
            size = self.run_as_current_user(self.fs.getsize, path)
        except OSError as err:
            self.respond(f"550 {err.strerror}.")
            return
        self.respond(f"213 {size}")

    def ftp_LIST(self, path):
        if self.fs.is_search_folder(path):
            producer = BufferedIteratorProducer(self.fs.format_search_results())
            self.push_dtp_data(producer, isproducer=True, cmd="LIST")
            return path
        return super().ftp_LIST(path)

    # --- the family's SITE commands

    def ftp_SITE_MD5(self, path):
        if not self.fs.isfile(path):
            self.respond(f"550 {self.fs.fs2ftp(path)}: no such file.")
            return
        try:
            digest = self.digests.md5_of(path)
        except OSError as err:
            self.respond(f"550 {err.strerror}.")
            return
        self.respond(f"200 {digest}")

    def ftp_SITE_MD5S(self, line):
        self.respond("200 MD5 digests are available.")

    def ftp_SITE_WEBL(self, line):
        link = self._weblink_of(self.fs.cwd)
        if link is None:
            self.respond("550 No web link is attached to this folder.")
        else:
            self.respond(f"200 {link}")

    def _weblink_of(self, folder):
        """The link of the folder or of its nearest parent that has one."""
        links = self.settings.weblinks
        folder = normalise_folder(folder)
        while folder not in links:
            if folder == "/":
                return None
            folder = posixpath.dirname(folder)
        return links[folder]

    def ftp_SITE_SRCHMODE(self, line):
        mode = line.strip()
        if mode not in ("0", "1"):
            self.respond("501 Search mode is 0 (all keywords) or 1 (any keyword).")
            return
        self._search_any = mode == "1"
        self.respond(f"200 Keywords are {'ORed' if self._search_any else 'ANDed'}.")

    def ftp_SITE_SRCH(self, line):
        keywords = line.split()
        if not keywords:
            self.respond("501 Give at least one keyword.")
            return
        results = self.run_as_current_user(self.fs.search, keywords, self._search_any)
        self.fs.search_results = results
        self.respond(f'200 {len(results)} matches; list "{SEARCH_FOLDER}" to see them.')

    ftp_SRCH = ftp_SITE_SRCH

    def ftp_SITE_CHPWD(self, line):
        if self.username == "anonymous":
            self.respond("550 Anonymous users have no password to change.")
            return
        self.authorizer.user_table[self.username]["pwd"] = line
        self.password = line
        self.respond("200 Password changed.")


def make_handler(settings, passive_ports):
    """A handler class for one server, with its own accounts, state and
    command set (refused commands are left out)."""
    authorizer = DummyAuthorizer()
    if settings.anonymous:
        authorizer.add_anonymous(settings.root)
    for account in settings.accounts:
        authorizer.add_user(account.name, account.password, account.root, perm=NAMED_USER_RIGHTS)
    filesystem = type("ServerFilesystem", (FamilyFilesystem,), {
        "listing_style": settings.listing,
        "search_enabled": settings.search_enabled,
    })
    commands = {name: help_entry for name, help_entry in FAMILY_COMMANDS.items() if name not in settings.refused}
    return type("ServerHandler", (FamilyHandler,), {
        "settings": settings,
        "state": ServerState(settings),
        "digests": DigestCache(),
        "authorizer": authorizer,
        "abstracted_fs": filesystem,
        "proto_cmds": commands,
        "passive_ports": list(passive_ports),
    })
