"""How a test server tells its starter that it listens, and which ports it
may use without getting in anybody's way."""

import random
import socket
import sys

_LOCAL_RANGE_FILE = "/proc/sys/net/ipv4/ip_local_port_range"
_LOWEST_UNPRIVILEGED = 1024
_HIGHEST_PORT = 65535


def announce_ready(**fields):
    """Prints the one line starters wait for: "READY port=<n> ..."."""
    text = " ".join(f"{name}={value}" for name, value in fields.items())
    sys.stdout.write(f"READY {text}\n")
    sys.stdout.flush()


def ephemeral_range():
    """The ports the kernel hands out for outgoing connections."""
    try:
        with open(_LOCAL_RANGE_FILE, encoding="ascii") as stream:
            low, high = (int(part) for part in stream.read().split())
        return low, high
    except (OSError, ValueError):
        return 32768, 60999


def _bindable(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", port))
        except OSError:
            return False
    return True


def free_port_block(size, attempts=50):
    """A block of `size` consecutive ports outside the kernel's ephemeral
    range, each free right now. Data connections on ports the kernel does
    not hand out never compete with outgoing connections, and ports that
    linger in TIME_WAIT can be bound again at once."""
    low, high = ephemeral_range()
    candidates = []
    if _HIGHEST_PORT - high >= size:
        candidates.append((high + 1, _HIGHEST_PORT))
    if low - _LOWEST_UNPRIVILEGED >= size:
        candidates.append((_LOWEST_UNPRIVILEGED, low - 1))
    if not candidates:
        candidates.append((_LOWEST_UNPRIVILEGED, _HIGHEST_PORT))
    for _ in range(attempts):
        first, last = random.choice(candidates)
        start = random.randint(first, last - size + 1)
        block = range(start, start + size)
        if all(_bindable(port) for port in block):
            return block
    raise RuntimeError(f"no free block of {size} ports found")
