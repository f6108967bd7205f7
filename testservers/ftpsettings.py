"""Command line of the family FTP server: accounts, extensions, switches and
faults, all fixed for the life of one server process."""

import argparse
import os
import posixpath
from dataclasses import dataclass, field

# What `--refuse NAME` takes away; a refused command is answered like one
# the server never heard of ("500 ... not understood").
REFUSABLE = {
    "REST": ("REST",),
    "SIZE": ("SIZE",),
    "PASV": ("PASV", "EPSV"),
    "PORT": ("PORT", "EPRT"),
    "MD5": ("SITE MD5", "SITE MD5S"),
    "WEBL": ("SITE WEBL",),
    "SEARCH": ("SITE SRCH", "SITE SRCHMODE", "SRCH"),
    "SITE-SRCH": ("SITE SRCH",),
    "CHPWD": ("SITE CHPWD",),
    "CHMOD": ("SITE CHMOD",),
}

LISTING_STYLES = ("unix", "dos")


@dataclass(frozen=True)
class Account:
    name: str
    password: str
    root: str


@dataclass(frozen=True)
class FtpSettings:
    root: str
    port: int = 0
    lifetime: float = 600.0
    accounts: tuple = ()
    anonymous: bool = True
    weblinks: dict = field(default_factory=dict)
    listing: str = "unix"
    rate: int = 0
    max_connections: int = 0
    passive_ports: range | None = None
    refused: frozenset = frozenset()
    banner: tuple = ("Family FTP server ready.",)
    drop_after: int = 0
    drop_transfers: int = 0
    drop_listings: int = 0
    refuse_pass: int = 0
    drop_idle_passive: int = 0
    reply_delay: float = 0.0
    command_log: str | None = None
    size_reply: int | None = None

    @property
    def search_enabled(self):
        return "SRCH" not in self.refused


def _account(text):
    parts = text.split(":", 2)
    if len(parts) < 2 or not parts[0]:
        raise argparse.ArgumentTypeError(f"expected NAME:PASSWORD[:ROOT], got {text!r}")
    root = parts[2] if len(parts) == 3 else None
    return parts[0], parts[1], root


def _weblink(text):
    folder, sep, link = text.partition("=")
    if not sep or not folder.startswith("/") or not link:
        raise argparse.ArgumentTypeError(f"expected /FOLDER=LINK, got {text!r}")
    return normalise_folder(folder), link


def _port_range(text):
    low, sep, high = text.partition("-")
    try:
        first, last = int(low), int(high)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected LOW-HIGH, got {text!r}") from None
    if not sep or not 1024 <= first <= last <= 65535:
        raise argparse.ArgumentTypeError(f"expected LOW-HIGH within 1024-65535, got {text!r}")
    return range(first, last + 1)


def _refusal(text):
    names = [name.strip().upper() for name in text.split(",") if name.strip()]
    unknown = [name for name in names if name not in REFUSABLE]
    if unknown or not names:
        raise argparse.ArgumentTypeError(
            f"can refuse {', '.join(REFUSABLE)}; got {text!r}")
    return names


def _non_negative(kind):
    def convert(text):
        value = kind(text)
        if value < 0:
            raise argparse.ArgumentTypeError(f"must not be negative: {text}")
        return value
    return convert


def normalise_folder(folder):
    """A folder path in the server's own form: absolute, no trailing "/"."""
    return posixpath.normpath("/" + folder.strip("/"))


def _parser():
    parser = argparse.ArgumentParser(
        description="FTP server with the family's SITE extensions, for tests and the demo.")
    parser.add_argument("--root", required=True, help="folder shared with anonymous and named users")
    parser.add_argument("--port", type=_non_negative(int), default=0, help="0 picks a free port")
    parser.add_argument("--lifetime", type=_non_negative(float), default=600.0,
                        help="seconds after which the server stops by itself")
    parser.add_argument("--user", type=_account, action="append", default=[],
                        help="NAME:PASSWORD[:ROOT], a named account with write rights")
    parser.add_argument("--no-anonymous", action="store_true", help="refuse anonymous logins")
    parser.add_argument("--weblink", type=_weblink, action="append", default=[],
                        help="/FOLDER=LINK, the web link of a folder and the folders below it")
    parser.add_argument("--listing", choices=LISTING_STYLES, default="unix")
    parser.add_argument("--rate", type=_non_negative(int), default=0,
                        help="bytes per second per data connection, paced evenly; 0: unlimited")
    parser.add_argument("--max-connections", type=_non_negative(int), default=0,
                        help="control connections served at once; more are refused with 421")
    parser.add_argument("--passive-ports", type=_port_range,
                        help="LOW-HIGH; default: a free block outside the ephemeral range")
    parser.add_argument("--refuse", type=_refusal, action="append", default=[],
                        help=f"commands to refuse: {', '.join(REFUSABLE)} (comma list or repeated)")
    parser.add_argument("--banner", action="append", default=[],
                        help="one line of the greeting; repeat for a multi-line greeting")
    parser.add_argument("--drop-after", type=_non_negative(int), default=0,
                        help="close the data connection of a file transfer after this many bytes")
    parser.add_argument("--drop-transfers", type=_non_negative(int), default=1,
                        help="how many file transfers --drop-after hits (the first ones)")
    parser.add_argument("--drop-listings", type=_non_negative(int), default=0,
                        help="how many listings --drop-after hits (the first ones)")
    parser.add_argument("--refuse-pass", type=_non_negative(int), default=0,
                        help="answer the first N PASS commands with 530")
    parser.add_argument("--drop-idle-passive", type=_non_negative(int), default=0,
                        help="close the first N passive data connections that arrive before "
                             "their command; the command then waits for a connection in vain")
    parser.add_argument("--reply-delay", type=_non_negative(int), default=0,
                        help="milliseconds every reply is held back")
    parser.add_argument("--command-log", help="file that receives every command line received")
    parser.add_argument("--size-reply", type=_non_negative(int),
                        help="the size SIZE answers for every file, whatever the file holds "
                             "(a file changed since, or a server that lies)")
    return parser


def parse_arguments(argv=None):
    options = _parser().parse_args(argv)
    root = os.path.realpath(options.root)
    if not os.path.isdir(root):
        raise SystemExit(f"familyftpd: no such folder: {options.root}")
    accounts = []
    for name, password, account_root in options.user:
        folder = os.path.realpath(account_root) if account_root else root
        if not os.path.isdir(folder):
            raise SystemExit(f"familyftpd: no such folder for {name}: {account_root}")
        accounts.append(Account(name, password, folder))
    refused = frozenset(command for names in options.refuse for name in names
                        for command in REFUSABLE[name])
    return FtpSettings(
        root=root,
        port=options.port,
        lifetime=options.lifetime,
        accounts=tuple(accounts),
        anonymous=not options.no_anonymous,
        weblinks=dict(options.weblink),
        listing=options.listing,
        rate=options.rate,
        max_connections=options.max_connections,
        passive_ports=options.passive_ports,
        refused=refused,
        banner=tuple(options.banner) or FtpSettings.banner,
        drop_after=options.drop_after,
        drop_transfers=options.drop_transfers if options.drop_after else 0,
        drop_listings=options.drop_listings if options.drop_after else 0,
        refuse_pass=options.refuse_pass,
        drop_idle_passive=options.drop_idle_passive,
        reply_delay=options.reply_delay / 1000.0,
        command_log=options.command_log,
        size_reply=options.size_reply,
    )
