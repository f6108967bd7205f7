#!/usr/bin/python3
"""The family FTP server for tests and the demo (see README.md for its
command line). Prints "READY port=<n> passive=<low>-<high>" once it listens
on 127.0.0.1, and stops by itself after --lifetime seconds."""

import logging

from pyftpdlib.servers import FTPServer

from ftphandler import make_handler
from ftpsettings import parse_arguments
from readiness import announce_ready, free_port_block

PASSIVE_BLOCK_SIZE = 100


def main(argv=None):
    settings = parse_arguments(argv)
    logging.basicConfig(level=logging.ERROR, format="familyftpd: %(message)s")
    passive_ports = settings.passive_ports or free_port_block(PASSIVE_BLOCK_SIZE)
    server = FTPServer(("127.0.0.1", settings.port), make_handler(settings, passive_ports))
    if settings.lifetime:
        server.ioloop.call_later(settings.lifetime, server.close_all)
    announce_ready(port=server.address[1], passive=f"{passive_ports[0]}-{passive_ports[-1]}")
    server.serve_forever()


if __name__ == "__main__":
    main()
