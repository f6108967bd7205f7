"""Command line of the index server: the FTP servers it indexes and the
faults one start injects."""

import argparse
import os
from dataclasses import dataclass

ENDPOINTS = ("getsindex", "search", "resume", "getpindex", "updatemd5", "latest")
_FORBIDDEN_IN_FIELDS = ("*", "\r", "\n")


@dataclass(frozen=True)
class SharedServer:
    """One FTP server of the network and the folder on disk it shares."""
    user: str
    address: str
    port: int
    persistent: bool
    speed: int
    country: str
    folder: str


@dataclass(frozen=True)
class Faults:
    delay: float = 0.0
    error_status: int = 0
    empty_reply: bool = False
    garbage_line: bool = False
    offline_users: frozenset = frozenset()
    endpoints: frozenset = frozenset(ENDPOINTS)

    def hit(self, endpoint):
        return endpoint in self.endpoints


@dataclass(frozen=True)
class IndexSettings:
    servers: tuple
    faults: Faults
    port: int = 0
    lifetime: float = 600.0
    request_log: str | None = None
    latest_version: str | None = None


def _server(text):
    parts = text.split(",", 6)
    if len(parts) != 7:
        raise argparse.ArgumentTypeError(
            f"expected USER,ADDRESS,PORT,PERSISTENT,SPEED,COUNTRY,FOLDER, got {text!r}")
    user, address, port, persistent, speed, country, folder = parts
    try:
        port_number, speed_code, persistent_flag = int(port), int(speed), int(persistent)
    except ValueError:
        raise argparse.ArgumentTypeError(f"PORT, PERSISTENT and SPEED are numbers: {text!r}") from None
    if not 1 <= port_number <= 65535 or not 0 <= speed_code <= 8:
        raise argparse.ArgumentTypeError(f"PORT is 1-65535 and SPEED 0-8: {text!r}")
    if len(country) != 2:
        raise argparse.ArgumentTypeError(f"COUNTRY is a two-letter code: {text!r}")
    if not user or any(mark in field for field in (user, address, country)
                       for mark in _FORBIDDEN_IN_FIELDS):
        raise argparse.ArgumentTypeError(f"USER, ADDRESS and COUNTRY may not hold '*' or line ends: {text!r}")
    if not os.path.isdir(folder):
        raise argparse.ArgumentTypeError(f"no such folder: {folder}")
    return SharedServer(user, address, port_number, persistent_flag != 0, speed_code,
                        country.upper(), os.path.realpath(folder))


def _status(text):
    code = int(text)
    if not 100 <= code <= 599:
        raise argparse.ArgumentTypeError(f"an HTTP status is 100-599, got {text}")
    return code


def _non_negative(kind):
    def convert(text):
        value = kind(text)
        if value < 0:
            raise argparse.ArgumentTypeError(f"must not be negative: {text}")
        return value
    return convert


def _parser():
    parser = argparse.ArgumentParser(
        description="Index server of a P2P network of family FTP servers, for tests and the demo.")
    parser.add_argument("--server", type=_server, action="append", default=[],
                        help="USER,ADDRESS,PORT,PERSISTENT(0|1),SPEED(0-8),COUNTRY,FOLDER")
    parser.add_argument("--port", type=_non_negative(int), default=0, help="0 picks a free port")
    parser.add_argument("--lifetime", type=_non_negative(float), default=600.0,
                        help="seconds after which the server stops by itself")
    parser.add_argument("--request-log", help="file that receives every request as a JSON line")
    parser.add_argument("--delay", type=_non_negative(int), default=0,
                        help="milliseconds every reply is held back")
    parser.add_argument("--error-status", type=_status, default=0,
                        help="answer with this HTTP status instead")
    parser.add_argument("--empty-reply", action="store_true", help="answer 200 with an empty body")
    parser.add_argument("--garbage-line", action="store_true",
                        help="put a line that is no result line after the first result line")
    parser.add_argument("--offline-user", action="append", default=[],
                        help="a P2P user whose address cannot be resolved")
    parser.add_argument("--latest-version",
                        help="serve the program's upgrade information file naming this version "
                             "(taken as it is, so a malformed one can be served too)")
    parser.add_argument("--fault-endpoint", choices=ENDPOINTS, action="append", default=[],
                        help="limit the faults above to these endpoints (default: all)")
    return parser


def parse_arguments(argv=None):
    options = _parser().parse_args(argv)
    faults = Faults(
        delay=options.delay / 1000.0,
        error_status=options.error_status,
        empty_reply=options.empty_reply,
        garbage_line=options.garbage_line,
        offline_users=frozenset(options.offline_user),
        endpoints=frozenset(options.fault_endpoint or ENDPOINTS),
    )
    return IndexSettings(servers=tuple(options.server), faults=faults, port=options.port,
                         lifetime=options.lifetime, request_log=options.request_log,
                         latest_version=options.latest_version)
