#!/usr/bin/python3
"""The index server of a P2P network of family FTP servers, for tests and the
demo (see README.md for its command line). Prints
"READY port=<n> base=<url ending in /p2p/v6>" once it listens on 127.0.0.1,
and stops by itself after --lifetime seconds."""

import threading

from indexcatalog import Catalog
from indexhandler import BASE_PATH, IndexServer
from indexsettings import parse_arguments
from readiness import announce_ready


def main(argv=None):
    settings = parse_arguments(argv)
    catalog = Catalog(settings.servers)
    server = IndexServer(("127.0.0.1", settings.port), catalog, settings)
    if settings.lifetime:
        stopper = threading.Timer(settings.lifetime, server.shutdown)
        stopper.daemon = True
        stopper.start()
    announce_ready(port=server.server_address[1], base=server.origin + BASE_PATH)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
