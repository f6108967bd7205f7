"""Files of the demo: the sample tree the servers share, the bookmarks and
the network list in the demo's program folder."""

import os
import random
import socket

MIB = 1 << 20
KIB = 1 << 10

# Path below the tree -> size in bytes; contents are fixed per name, so the
# digests stay the same from one run to the next.
SAMPLE_FILES = {
    "welcome.txt": 34,
    "pub/docs/readme.txt": 900,
    "pub/docs/notes.rtf": 3 * KIB,
    "pub/docs/manual.pdf": 300 * KIB,
    "pub/docs/archive/2003-report.doc": 50 * KIB,
    "pub/music/Morning Song.mp3": 3 * MIB,
    "pub/music/drums.wav": 512 * KIB,
    "pub/pictures/holiday.jpg": 200 * KIB,
    "pub/pictures/logo.png": 20 * KIB,
    "pub/software/ranquil-tools-1.0.zip": 8 * MIB,
    "pub/software/setup.exe": 1 * MIB,
    "pub/video/big-movie.avi": 64 * MIB,
}
EMPTY_FOLDERS = ("incoming",)
SYMLINKS = {"pub/latest": "software"}
TREE_LINK_FILE = "pub/links/Family server.wkt"
WEBLINK_FOLDER = "/pub/docs"
LINKS_FOLDER = "My FTP Links"
DEMO_USER = "demo"
DEMO_PASSWORD = "demo"
P2P_USER = "familydemo"
ROAMING_P2P_USER = "wanderer"


def _content(name, size):
    if name.endswith((".txt", ".rtf")):
        line = f"{name}: a sample file of the family FTP server demo.\n".encode()
        return (line * (size // len(line) + 1))[:size]
    return random.Random(name).randbytes(size)


def make_tree(tree):
    """Several folders, files from a few bytes to 64 MiB, a UNIX link; files
    already there with the right size are kept."""
    for name, size in SAMPLE_FILES.items():
        path = os.path.join(tree, name)
        if os.path.isfile(path) and os.path.getsize(path) == size:
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as stream:
            stream.write(_content(name, size))
    for name in EMPTY_FOLDERS:
        os.makedirs(os.path.join(tree, name), exist_ok=True)
    for name, target in SYMLINKS.items():
        path = os.path.join(tree, name)
        if not os.path.islink(path):
            os.symlink(target, path)


def link_file_text(address, port, anonymous, user, password, initial_directory, description):
    """A bookmark in the form the program writes: section "Zelta Link", keys
    in its order."""
    values = (("Address", address), ("Port", str(port)), ("Anonymous", "1" if anonymous else "0"),
              ("UserID", user), ("Password", password),
              ("Initial_Directory", initial_directory), ("Description", description))
    return "[Zelta Link]\n" + "".join(f"{key}={value}\n" for key, value in values)


def write_private(path, text):
    """Link files may hold passwords: readable by their owner only."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(descriptor, "w", encoding="utf8") as stream:
        stream.write(text)
    os.chmod(path, 0o600)


def write_links(tree, home, port):
    anonymous = link_file_text("127.0.0.1", port, True, "", "", "/pub",
                               "The demo server, anonymous and read-only")
    links = os.path.join(home, LINKS_FOLDER)
    write_private(os.path.join(links, "Family demo server.wkt"), anonymous)
    write_private(os.path.join(links, "Private", "Family demo (demo user).wkt"),
                  link_file_text("127.0.0.1", port, False, DEMO_USER, DEMO_PASSWORD, "/",
                                 "The demo server as user demo, who may upload to /incoming"))
    write_private(os.path.join(links, "Family demo by P2P name.wkt"),
                  link_file_text(f"<{ROAMING_P2P_USER}>", 21, True, "", "", "/pub",
                                 "The demo server found through the index server by user name"))
    write_private(os.path.join(tree, TREE_LINK_FILE), anonymous)


def complement(text):
    return bytes(~byte & 0xFF for byte in text.encode("utf8"))


def write_network_list(home, base):
    """ranquilserver.mmf: name*base URL*user*complemented password*flag A*flag B."""
    lines = [
        b"Family Demo Network*" + base.encode() + b"*" + DEMO_USER.encode() + b"*"
        + complement(DEMO_PASSWORD) + b"*1*0\n",
        b"Family Demo Network (guest)*" + base.encode() + b"***0*0\n",
    ]
    with open(os.path.join(home, "ranquilserver.mmf"), "wb") as stream:
        stream.write(b"".join(lines))


def write_upgrade_address(home, url):
    """[Upgrade] InformationURL of Ranquil.ini, keeping every other section."""
    path = os.path.join(home, "Ranquil.ini")
    try:
        with open(path, encoding="utf8", errors="surrogateescape") as stream:
            lines = stream.read().splitlines()
    except FileNotFoundError:
        lines = []
    kept, in_upgrade = [], False
    for line in lines:
        if line.strip().startswith("["):
            in_upgrade = line.strip().lower() == "[upgrade]"
        if not in_upgrade:
            kept.append(line)
    kept += ["[Upgrade]", f"InformationURL={url}"]
    descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with open(descriptor, "w", encoding="utf8", errors="surrogateescape") as stream:
        stream.write("\n".join(kept) + "\n")


def next_version(version_line):
    """The release after the program's own ("ranquil 5.6.0" -> "5.7.0")."""
    numbers = [int(part) for part in version_line.split()[-1].split(".")]
    return f"{numbers[0]}.{numbers[1] + 1}.0"


def free_port():
    """A port nobody listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]
