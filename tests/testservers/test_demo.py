"""scripts/demo.sh, run with a stand-in for the program that reports what it
finds in its program folder and on the two servers."""

import configparser
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import textwrap
import time
import unittest

from fixtures import SOURCE_ROOT, md5_upper

DEMO = SOURCE_ROOT / "scripts" / "demo.sh"
DEMO_TIMEOUT = 180

# Reads the bookmarks and the network list like the program would, talks to
# both servers, writes what it saw to the report file and exits with 3.
STAND_IN = textwrap.dedent("""\
    #!/usr/bin/python3
    import configparser, ftplib, io, json, os, sys, urllib.request

    if sys.argv[1:] == ["--version"]:
        print("ranquil 5.6.0")
        sys.exit(0)
    home = os.environ["RANQUIL_HOME"]
    report = {"arguments": sys.argv[2:], "home": home, "display": os.environ.get("DISPLAY", ""),
              "pid": os.getpid()}

    def bookmark(relative):
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(os.path.join(home, "My FTP Links", relative), encoding="utf8")
        return dict(parser["Zelta Link"])

    anonymous = bookmark("Family demo server.wkt")
    private = bookmark("Private/Family demo (demo user).wkt")
    report["bookmarks"] = [anonymous, private, bookmark("Family demo by P2P name.wkt")]
    client = ftplib.FTP(timeout=10)
    client.connect(anonymous["Address"], int(anonymous["Port"]))
    client.login()
    report["md5"] = client.sendcmd("SITE MD5 /pub/docs/readme.txt")
    client.cwd("/pub/docs")
    report["weblink"] = client.sendcmd("SITE WEBL")
    client.quit()
    client = ftplib.FTP(timeout=10)
    client.connect(private["Address"], int(private["Port"]))
    client.login(private["UserID"], private["Password"])
    client.storbinary("STOR /incoming/from-demo.txt", io.BytesIO(b"uploaded"))
    client.quit()

    with open(os.path.join(home, "ranquilserver.mmf"), "rb") as stream:
        first = stream.read().split(b"\\n")[0].split(b"*")
    report["network"] = [field.decode("latin-1") for field in first[:3]]
    report["network_password"] = bytes(~byte & 0xFF for byte in first[3]).decode()
    base = first[1].decode()
    with urllib.request.urlopen(base + "/getsindex.php", timeout=10) as reply:
        resolved = reply.read().decode()
    body = b"username=wanderer&action=getIPFromUsername&loginusername=demo&loginpassword=demo"
    with urllib.request.urlopen(resolved + "/v6/resume.php", body, timeout=10) as reply:
        report["wanderer"] = reply.read().decode()
    with urllib.request.urlopen(report["weblink"][4:], timeout=10) as reply:
        report["weblink_status"] = reply.status
    report["index_port"] = int(base.split(":")[2].split("/")[0])
    settings = configparser.ConfigParser(interpolation=None)
    settings.read(os.path.join(home, "Ranquil.ini"), encoding="utf8")
    with urllib.request.urlopen(settings["Upgrade"]["InformationURL"], timeout=10) as reply:
        report["upgrade_information"] = reply.read().decode()
    with open(sys.argv[1], "w") as stream:
        json.dump(report, stream)
    if len(sys.argv) > 2 and sys.argv[2] == "--wait":
        import time
        time.sleep(120)
    sys.exit(3)
""")


def port_is_closed(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) != 0


class DemoTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls._folder = tempfile.TemporaryDirectory(prefix="ranquil-demo-test-")
        cls.demo_dir = os.path.join(cls._folder.name, "demo")
        cls.program = os.path.join(cls._folder.name, "ranquil")
        with open(cls.program, "w", encoding="utf8") as stream:
            stream.write(STAND_IN)
        os.chmod(cls.program, 0o755)

    @classmethod
    def tearDownClass(cls):
        cls._folder.cleanup()

    def environment(self, display=":0", demo_dir=None):
        environment = dict(os.environ, RANQUIL_DEMO_DIR=demo_dir or self.demo_dir,
                           PYTHONDONTWRITEBYTECODE="1")
        environment.pop("WAYLAND_DISPLAY", None)
        if display:
            environment["DISPLAY"] = display
        else:
            environment.pop("DISPLAY", None)
        return environment

    def report_path(self):
        path = os.path.join(self._folder.name, f"report-{self._testMethodName}.json")
        self.addCleanup(lambda: os.path.exists(path) and os.remove(path))
        return path

    def read_report(self, path):
        with open(path, encoding="utf8") as stream:
            return json.load(stream)

    def run_demo(self, *arguments, display=":0", demo_dir=None):
        return subprocess.run([str(DEMO), *arguments], env=self.environment(display, demo_dir),
                              capture_output=True, text=True, timeout=DEMO_TIMEOUT)

    def test_the_program_meets_both_servers_and_they_stop_when_it_ends(self):
        report_file = self.report_path()
        finished = self.run_demo(self.program, report_file, "--flag", "value")
        self.assertEqual(finished.returncode, 3, finished.stderr)
        report = self.read_report(report_file)
        home = os.path.join(self.demo_dir, "home")
        tree = os.path.join(self.demo_dir, "tree")
        self.assertEqual(report["arguments"], ["--flag", "value"])
        self.assertEqual(report["home"], home)
        with open(os.path.join(tree, "pub/docs/readme.txt"), "rb") as stream:
            self.assertEqual(report["md5"], "200 " + md5_upper(stream.read()))
        self.assertEqual(report["weblink_status"], 200)
        anonymous, private, by_name = report["bookmarks"]
        ftp_port = int(anonymous["Port"])
        self.assertEqual((anonymous["Address"], anonymous["Anonymous"]), ("127.0.0.1", "1"))
        self.assertEqual((private["Anonymous"], private["UserID"]), ("0", "demo"))
        self.assertEqual(by_name["Address"], "<wanderer>")
        self.assertEqual(report["wanderer"], f"127.0.0.1*{ftp_port}")
        self.assertEqual(report["network"][0], "Family Demo Network")
        self.assertEqual(report["network_password"], "demo")
        self.assertTrue(os.path.isfile(os.path.join(tree, "incoming/from-demo.txt")))
        # The release after the program's own, so the demo shows the upgrade hint.
        self.assertIn("Version=5.7.0\n", report["upgrade_information"])
        self.assertTrue(port_is_closed(ftp_port), "the FTP server outlived the program")
        self.assertTrue(port_is_closed(report["index_port"]), "the index server outlived it")

    def test_the_sample_tree_and_the_link_files(self):
        self.assertEqual(self.run_demo(self.program, self.report_path()).returncode, 3)
        tree = os.path.join(self.demo_dir, "tree")
        sizes = [entry.stat().st_size for folder, _, files in os.walk(tree)
                 for entry in os.scandir(folder) if entry.is_file(follow_symlinks=False)]
        self.assertLess(min(sizes), 100)
        self.assertEqual(max(sizes), 64 * 1024 * 1024)
        folders = [folder for folder, _, _ in os.walk(tree)]
        self.assertGreaterEqual(len(folders), 6)
        self.assertEqual(os.readlink(os.path.join(tree, "pub/latest")), "software")
        tree_link = configparser.ConfigParser(interpolation=None)
        tree_link.read(os.path.join(tree, "pub/links/Family server.wkt"), encoding="utf8")
        self.assertEqual(tree_link["Zelta Link"]["Address"], "127.0.0.1")
        links = os.path.join(self.demo_dir, "home", "My FTP Links")
        for name in ("Family demo server.wkt", "Private/Family demo (demo user).wkt"):
            with self.subTest(name):
                self.assertEqual(os.stat(os.path.join(links, name)).st_mode & 0o777, 0o600)

    def test_a_missing_program_is_named_and_nothing_is_started(self):
        missing = os.path.join(self._folder.name, "no-such-program")
        untouched = os.path.join(self._folder.name, "untouched-demo")
        finished = self.run_demo(missing, demo_dir=untouched)
        self.assertNotEqual(finished.returncode, 0)
        self.assertIn("no-such-program", finished.stderr)
        self.assertIn("not an executable", finished.stderr)
        self.assertFalse(os.path.exists(untouched))

    @unittest.skipUnless(shutil.which("xvfb-run"), "xvfb-run is not installed")
    def test_without_a_display_the_program_gets_a_virtual_one(self):
        report_file = self.report_path()
        finished = self.run_demo(self.program, report_file, display=None)
        self.assertEqual(finished.returncode, 3, finished.stderr)
        self.assertTrue(self.read_report(report_file)["display"].startswith(":"))

    def test_terminating_the_demo_stops_the_servers_and_the_program(self):
        report_file = self.report_path()
        demo = subprocess.Popen([str(DEMO), self.program, report_file, "--wait"],
                                env=self.environment(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + DEMO_TIMEOUT
        while not os.path.exists(report_file) and time.monotonic() < deadline:
            self.assertIsNone(demo.poll(), "the demo ended before the program reported")
            time.sleep(0.1)
        time.sleep(0.2)  # let the report be written whole
        demo.send_signal(signal.SIGTERM)
        self.assertEqual(demo.wait(30), 128 + signal.SIGTERM)
        report = self.read_report(report_file)
        self.assertFalse(os.path.exists(f"/proc/{report['pid']}"), "the program outlived the demo")
        self.assertTrue(port_is_closed(int(report["bookmarks"][0]["Port"])))
        self.assertTrue(port_is_closed(report["index_port"]))


if __name__ == "__main__":
    unittest.main()
