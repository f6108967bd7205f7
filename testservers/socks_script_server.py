#!/usr/bin/env python3
"""A scripted SOCKS 4/4A/5 server for the socket tests.

Every scenario listens on a port of its own on 127.0.0.1 and plays one
conversation: the replies that real SOCKS servers seldom give (each failure
code, wrong versions, odd bound addresses, a reply split in pieces or sent
together with the first data). After a successful negotiation the server
acts as the destination: it sends back everything the client sent during the
negotiation (so a test can check the exact bytes), then echoes what it
receives until the client closes.

Output: one line "scenario <name> <port>" per scenario, then
"socks script server ready <count>". The server stops by itself after
--lifetime seconds.
"""

import argparse
import os
import socket
import struct
import sys
import threading
import time

USER = b"alice"
PASSWORD = b"secret"
TARGET_GREETING = b"hello from target\r\n"


class Hangup(Exception):
    """The client closed before the conversation was over."""


def recv_exact(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            raise Hangup()
        data += chunk
    return data


def recv_until_nul(conn):
    data = b""
    while not data.endswith(b"\0"):
        data += recv_exact(conn, 1)
    return data


def read_socks4_request(conn):
    head = recv_exact(conn, 8)
    raw = head + recv_until_nul(conn)
    address = head[4:8]
    if address[:3] == b"\0\0\0" and address[3] != 0:
        raw += recv_until_nul(conn)  # SOCKS 4A: the host name follows
    return raw


def read_socks5_methods(conn):
    head = recv_exact(conn, 2)
    return head + recv_exact(conn, head[1])


def read_socks5_auth(conn):
    head = recv_exact(conn, 2)
    user = recv_exact(conn, head[1])
    length = recv_exact(conn, 1)
    password = recv_exact(conn, length[0])
    return head + user + length + password, user, password


def read_socks5_request(conn):
    head = recv_exact(conn, 4)
    kind = head[3]
    if kind == 1:
        rest = recv_exact(conn, 4 + 2)
    elif kind == 3:
        length = recv_exact(conn, 1)
        rest = length + recv_exact(conn, length[0] + 2)
    elif kind == 4:
        rest = recv_exact(conn, 16 + 2)
    else:
        raise Hangup()
    return head + rest


def socks5_greet(conn, method_reply=None, auth_reply=None):
    """Method selection and, when chosen, user/password authentication.

    Returns the bytes the client sent, or None when the client was refused.
    """
    raw = read_socks5_methods(conn)
    offered = raw[2:]
    if method_reply is not None:
        conn.sendall(method_reply)
        if method_reply[1:2] != b"\x02":
            return None if method_reply[1:2] == b"\xff" else raw
    elif 0 in offered:
        conn.sendall(b"\x05\x00")
        return raw
    elif 2 in offered:
        conn.sendall(b"\x05\x02")
    else:
        conn.sendall(b"\x05\xff")
        return None
    auth, user, password = read_socks5_auth(conn)
    raw += auth
    if auth_reply is not None:
        conn.sendall(auth_reply)
        return raw
    if user == USER and password == PASSWORD:
        conn.sendall(b"\x01\x00")
        return raw
    conn.sendall(b"\x01\x01")
    return None


def act_as_target(conn, transcript):
    conn.sendall(transcript)
    while True:
        data = conn.recv(65536)
        if not data:
            return
        conn.sendall(data)


def socks4_reply(code, port=0x1F90, address=b"\x0a\x00\x00\x09", version=b"\x00"):
    return version + bytes([code]) + struct.pack(">H", port) + address


def socks5_reply(code, bound=b"\x01\x0a\x01\x02\x03", port=4321, version=b"\x05"):
    return version + bytes([code, 0]) + bound + struct.pack(">H", port)


def socks4_success(conn):
    raw = read_socks4_request(conn)
    conn.sendall(socks4_reply(90))
    act_as_target(conn, raw)


def socks4_same_packet(conn):
    read_socks4_request(conn)
    conn.sendall(socks4_reply(90) + TARGET_GREETING)
    act_as_target(conn, b"")


def socks4_failure(reply):
    def play(conn):
        read_socks4_request(conn)
        conn.sendall(reply)
    return play


def socks5_success(bound, port, method_reply=None):
    def play(conn):
        raw = socks5_greet(conn, method_reply)
        if raw is None:
            return
        raw += read_socks5_request(conn)
        conn.sendall(socks5_reply(0, bound, port))
        act_as_target(conn, raw)
    return play


def socks5_same_packet(conn):
    if socks5_greet(conn) is None:
        return
    read_socks5_request(conn)
    conn.sendall(socks5_reply(0) + TARGET_GREETING)
    act_as_target(conn, b"")


def socks5_fragmented(conn):
    if socks5_greet(conn) is None:
        return
    read_socks5_request(conn)
    for byte in socks5_reply(0, b"\x03\x0dbound.example", 2222) + TARGET_GREETING:
        conn.sendall(bytes([byte]))
        time.sleep(0.01)
    act_as_target(conn, b"")


def socks5_reply_failure(reply):
    def play(conn):
        if socks5_greet(conn) is None:
            return
        read_socks5_request(conn)
        conn.sendall(reply)
    return play


def socks5_greeting_failure(method_reply=None, auth_reply=None):
    def play(conn):
        socks5_greet(conn, method_reply, auth_reply)
        time.sleep(0.2)
    return play


def socks5_hangup(conn):
    read_socks5_methods(conn)


SCENARIOS = {
    "s4-granted": socks4_success,
    "s4-same-packet": socks4_same_packet,
    "s4-reply-91": socks4_failure(socks4_reply(91)),
    "s4-reply-92": socks4_failure(socks4_reply(92)),
    "s4-reply-93": socks4_failure(socks4_reply(93)),
    "s4-reply-77": socks4_failure(socks4_reply(77)),
    "s4-bad-version": socks4_failure(socks4_reply(90, version=b"\x04")),
    "s5-ipv4": socks5_success(b"\x01\x0a\x01\x02\x03", 4321),
    "s5-domain": socks5_success(b"\x03\x11bound.example.org", 2222),
    "s5-ipv6": socks5_success(b"\x04" + bytes(15) + b"\x01", 1234),
    "s5-auth-not-required": socks5_success(b"\x01\x0a\x01\x02\x03", 4321, method_reply=b"\x05\x00"),
    "s5-same-packet": socks5_same_packet,
    "s5-fragmented": socks5_fragmented,
    "s5-bad-reply-version": socks5_reply_failure(socks5_reply(0, version=b"\x04")),
    "s5-address-type-9": socks5_reply_failure(socks5_reply(0, bound=b"\x09\x00\x00\x00\x00")),
    "s5-bad-method-version": socks5_greeting_failure(method_reply=b"\x04\x00"),
    "s5-no-acceptable-method": socks5_greeting_failure(method_reply=b"\x05\xff"),
    "s5-auth-bad-version": socks5_greeting_failure(method_reply=b"\x05\x02", auth_reply=b"\x02\x00"),
    "s5-auth-extra-bytes": socks5_greeting_failure(method_reply=b"\x05\x02", auth_reply=b"\x01\x00\x00"),
    "s5-hangup": socks5_hangup,
}
for _code in range(1, 10):
    SCENARIOS["s5-reply-%d" % _code] = socks5_reply_failure(socks5_reply(_code))


def serve_connection(conn, play):
    with conn:
        try:
            play(conn)
        except (Hangup, OSError):
            pass


def accept_loop(listener, play):
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve_connection, args=(conn, play), daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lifetime", type=float, default=600.0)
    args = parser.parse_args()
    for name, play in SCENARIOS.items():
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)
        print("scenario %s %d" % (name, listener.getsockname()[1]), flush=True)
        threading.Thread(target=accept_loop, args=(listener, play), daemon=True).start()
    print("socks script server ready %d" % len(SCENARIOS), flush=True)
    time.sleep(args.lifetime)
    sys.stdout.flush()
    os._exit(0)


if __name__ == "__main__":
    main()
