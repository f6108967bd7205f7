#!/usr/bin/python3
"""What an installation of the build folder holds:

  packaging_test.py BUILD_DIR [unittest arguments]

InstalledFiles installs into a temporary prefix (cmake --install, no second
build) and checks the file list, the desktop entry, the metainfo and both
man pages, and that the installed program registers nothing for its user.
DebianPackage builds the .deb with cpack in a temporary folder and reads it
back with dpkg-deb; nothing is installed on this machine."""

import glob
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None

EXPECTED_FILES = [
    "bin/ranquil",
    "bin/ranquil-get",
    "share/applications/ranquil.desktop",
    "share/mime/packages/ranquil-link.xml",
    "share/metainfo/example.quorvane.ranquil.metainfo.xml",
    "share/man/man1/ranquil.1",
    "share/man/man1/ranquil-get.1",
    "share/ranquil/RanquilHelp.html",
    "share/icons/hicolor/scalable/apps/ranquil.svg",
] + [f"share/icons/hicolor/{n}x{n}/apps/ranquil.png" for n in (16, 22, 24, 32, 48, 64, 128, 256)]


def run(command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **options)


def man_text(page):
    """The page as man shows it on an 80-column terminal, without the
    overstrikes of bold and underlined text."""
    shown = run(["man", "-l", page], env=dict(os.environ, MANWIDTH="80"))
    return shown.returncode, re.sub(".\b", "", shown.stdout), shown.stderr


def files_below(folder):
    return sorted(os.path.relpath(os.path.join(root, name), folder)
                  for root, _, names in os.walk(folder) for name in names)


class InstalledFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._folder = tempfile.TemporaryDirectory(prefix="ranquil-install-")
        cls.prefix = os.path.join(cls._folder.name, "prefix")
        cls.installed = run(["cmake", "--install", BUILD, "--prefix", cls.prefix])

    @classmethod
    def tearDownClass(cls):
        cls._folder.cleanup()

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def test_the_install_holds_exactly_the_programs_and_their_desktop_files(self):
        self.assertEqual(self.installed.returncode, 0, self.installed.stderr)
        self.assertEqual(files_below(self.prefix), sorted(EXPECTED_FILES))
        for program in ("bin/ranquil", "bin/ranquil-get"):
            self.assertTrue(os.access(self.path(program), os.X_OK), program)
        with open(self.path("share/icons/hicolor/48x48/apps/ranquil.png"), "rb") as stream:
            head = stream.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual((int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")), (48, 48))

    def test_the_desktop_entry_and_the_metainfo_validate(self):
        entry = run(["desktop-file-validate", self.path("share/applications/ranquil.desktop")])
        self.assertEqual((entry.returncode, entry.stdout + entry.stderr), (0, ""))
        metainfo = run(["appstreamcli", "validate", "--no-net",
                        self.path("share/metainfo/example.quorvane.ranquil.metainfo.xml")])
        self.assertEqual(metainfo.returncode, 0, metainfo.stdout + metainfo.stderr)
        with open(self.path("share/metainfo/example.quorvane.ranquil.metainfo.xml"), encoding="utf8") as stream:
            self.assertIn('<release version="5.6.0"', stream.read())

    def test_both_man_pages_render_from_the_programs_help(self):
        for program in ("ranquil", "ranquil-get"):
            page = self.path(f"share/man/man1/{program}.1")
            lint = run(["groff", "-man", "-ww", "-z", page])
            self.assertEqual((lint.returncode, lint.stderr), (0, ""), program)
            code, text, errors = man_text(page)
            self.assertEqual(code, 0, errors)
            for part in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "--version", "RanquilClient 5.6.0"):
                self.assertIn(part, text, f"{program}(1)")
        self.assertIn("EXIT STATUS", man_text(self.path("share/man/man1/ranquil-get.1"))[1])
        self.assertIn("InformationURL", man_text(self.path("share/man/man1/ranquil.1"))[1])

    def test_the_installed_programs_tell_their_version(self):
        for program in ("ranquil", "ranquil-get"):
            answer = run([self.path(f"bin/{program}"), "--version"])
            self.assertEqual((answer.returncode, answer.stdout), (0, f"{program} 5.6.0\n"))

    def test_the_installed_program_registers_nothing_for_its_user(self):
        home = os.path.join(self._folder.name, "home")
        data = os.path.join(self._folder.name, "data")
        runtime = os.path.join(self._folder.name, "runtime")
        for folder in (home, data, runtime):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        environment = dict(os.environ, RANQUIL_HOME=home, XDG_DATA_HOME=data, XDG_RUNTIME_DIR=runtime,
                           QT_QPA_PLATFORM="offscreen")
        program = subprocess.Popen([self.path("bin/ranquil")], env=environment,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            # Start-up made the bookmark folder, then handles the signal from
            # its event loop: the whole start-up ran before it ends.
            deadline = time.monotonic() + 30
            while not os.path.isdir(os.path.join(home, "My FTP Links")) and time.monotonic() < deadline:
                if program.poll() is not None:
                    break
                time.sleep(0.05)
            program.send_signal(signal.SIGTERM)
            _, errors = program.communicate(timeout=30)
        finally:
            if program.poll() is None:
                program.kill()
        self.assertEqual(program.returncode, 0, errors)
        self.assertTrue(os.path.isfile(os.path.join(home, "Registry.ini")), "the shut-down ran")
        self.assertEqual(files_below(data), [], "an installed program leaves the type to its package")


class DebianPackage(unittest.TestCase):
    def test_the_package_holds_the_installation_and_computed_dependencies(self):
        with tempfile.TemporaryDirectory(prefix="ranquil-deb-") as folder:
            built = run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", folder])
            self.assertEqual(built.returncode, 0, built.stdout + built.stderr)
            packages = glob.glob(os.path.join(folder, "ranquil_5.6.0_*.deb"))
            self.assertEqual(len(packages), 1, os.listdir(folder))
            info = run(["dpkg-deb", "-I", packages[0]])
            self.assertEqual(info.returncode, 0, info.stderr)
            fields = dict(line.strip().split(": ", 1) for line in info.stdout.splitlines()
                          if ": " in line and not line.startswith("  "))
            self.assertEqual((fields["Package"], fields["Version"]), ("ranquil", "5.6.0"))
            depends = [item.strip().split(" ")[0] for item in fields["Depends"].split(",")]
            # Computed from the programs' libraries, and the run-time packages named.
            for package in ("libqt6widgets6", "libqt6network6", "libc6", "libstdc++6",
                            "hicolor-icon-theme", "xdg-utils", "shared-mime-info"):
                self.assertIn(package, depends)
            contents = run(["dpkg-deb", "-c", packages[0]])
            self.assertEqual(contents.returncode, 0, contents.stderr)
            listed = {line.split()[-1].lstrip(".") for line in contents.stdout.splitlines()}
            for relative in EXPECTED_FILES:
                self.assertIn("/usr/" + relative, listed)
            self.assertFalse([name for name in listed if "test" in name.lower() or "bench" in name.lower()])


if __name__ == "__main__":
    if BUILD is None:
        raise SystemExit("usage: packaging_test.py BUILD_DIR [unittest arguments]")
    unittest.main()
