"""The family's SITE commands, accounts and listing styles of familyftpd."""

import io
import os
import re
import stat
import unittest

from fixtures import (NAMED_PASSWORD, NAMED_USER, SAMPLE_FILES, ServerTestCase, md5_upper)

SEARCH_FOLDER = "/<ZeltaSearchResults>"


def names_in(listing_lines):
    """Last column of UNIX lines, link targets dropped."""
    names = []
    for line in listing_lines:
        name = line.split(None, 8)[8]
        names.append(name.split(" -> ")[0])
    return names


class DigestTest(ServerTestCase):
    def test_site_md5_answers_200_and_the_upper_case_digest(self):
        server = self.start_ftp()
        client = self.login(server)
        cases = [
            ("absolute path", "/", "/pub/docs/readme.txt", "pub/docs/readme.txt"),
            ("relative path", "/pub/docs", "readme.txt", "pub/docs/readme.txt"),
            ("name with a space", "/pub/music", "song one.mp3", "pub/music/song one.mp3"),
            ("large file", "/", "big.bin", "big.bin"),
            ("through a link", "/", "/pub/latest/readme.txt", "pub/docs/readme.txt"),
        ]
        for label, folder, argument, sample in cases:
            with self.subTest(label):
                client.cwd(folder)
                reply = client.sendcmd(f"SITE MD5 {argument}")
                self.assertEqual(reply, "200 " + md5_upper(SAMPLE_FILES[sample]))

    def test_site_md5_follows_a_changed_file(self):
        server = self.start_ftp()
        client = self.login(server)
        first = client.sendcmd("SITE MD5 /pub/docs/readme.txt")
        with open(os.path.join(self.root, "pub/docs/readme.txt"), "wb") as stream:
            stream.write(b"changed and longer content\n")
        second = client.sendcmd("SITE MD5 /pub/docs/readme.txt")
        self.assertNotEqual(first, second)
        self.assertEqual(second, "200 " + md5_upper(b"changed and longer content\n"))

    def test_site_md5_of_anything_but_a_file_is_an_error(self):
        server = self.start_ftp()
        client = self.login(server)
        for label, argument in [("missing file", "/pub/nothing.txt"), ("folder", "/pub/docs"),
                                ("outside the root", "../../../../etc/passwd")]:
            with self.subTest(label):
                self.assertRefused(lambda: client.sendcmd(f"SITE MD5 {argument}"), "550")

    def test_site_md5s_tells_that_digests_are_offered(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertTrue(client.sendcmd("SITE MD5S").startswith("200 "))


class WebLinkTest(ServerTestCase):
    def test_web_link_of_the_folder_or_its_nearest_parent(self):
        server = self.start_ftp("--weblink", "/pub/docs=http://docs.example/",
                                "--weblink", "/pub/music/=http://music.example/")
        client = self.login(server)
        cases = [("/pub/docs", "200 http://docs.example/"),
                 ("/pub/docs/old", "200 http://docs.example/"),
                 ("/pub/music", "200 http://music.example/")]
        for folder, expected in cases:
            with self.subTest(folder):
                client.cwd(folder)
                self.assertEqual(client.sendcmd("SITE WEBL"), expected)

    def test_folders_without_a_link_above_them_are_refused(self):
        server = self.start_ftp("--weblink", "/pub/docs=http://docs.example/")
        client = self.login(server)
        for folder in ("/", "/pub", "/incoming"):
            with self.subTest(folder):
                client.cwd(folder)
                self.assertRefused(lambda: client.sendcmd("SITE WEBL"), "550")

    def test_a_link_on_the_root_covers_every_folder(self):
        server = self.start_ftp("--weblink", "/=http://root.example/")
        client = self.login(server)
        client.cwd("/pub/docs/old")
        self.assertEqual(client.sendcmd("SITE WEBL"), "200 http://root.example/")


class SearchTest(ServerTestCase):
    def search(self, client, keywords, command="SITE SRCH"):
        reply = client.sendcmd(f"{command} {keywords}")
        self.assertTrue(reply.startswith("200 "), reply)
        return names_in(self.listing(client, SEARCH_FOLDER))

    def test_all_keywords_must_match_by_default(self):
        server = self.start_ftp()
        client = self.login(server)
        cases = [("guide book", ["/pub/docs/Guide Book.TXT"]),
                 ("GUIDE", ["/pub/docs/Guide Book.TXT"]),
                 ("txt", ["/pub/docs/Guide Book.TXT", "/pub/docs/old/history.txt",
                          "/pub/docs/readme.txt"]),
                 ("guide readme", [])]
        for keywords, expected in cases:
            with self.subTest(keywords):
                self.assertEqual(self.search(client, keywords), expected)

    def test_search_mode_1_lets_any_keyword_match_and_0_switches_back(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertEqual(client.sendcmd("SITE SRCHMODE 1"), "200 Keywords are ORed.")
        self.assertEqual(self.search(client, "song readme"),
                         ["/pub/docs/readme.txt", "/pub/music/song one.mp3"])
        client.sendcmd("SITE SRCHMODE 0")
        self.assertEqual(self.search(client, "song readme"), [])

    def test_search_mode_other_than_0_or_1_is_refused_and_the_mode_stays(self):
        server = self.start_ftp()
        client = self.login(server)
        client.sendcmd("SITE SRCHMODE 1")
        for mode in ("2", "x", "01"):
            with self.subTest(mode):
                self.assertRefused(lambda: client.sendcmd(f"SITE SRCHMODE {mode}"), "501")
        self.assertEqual(self.search(client, "song readme"),
                         ["/pub/docs/readme.txt", "/pub/music/song one.mp3"])

    def test_results_folder_lists_full_paths_and_folders_end_in_a_slash(self):
        server = self.start_ftp()
        client = self.login(server)
        client.sendcmd("SITE SRCH o")
        lines = self.listing(client, SEARCH_FOLDER)
        by_name = {names_in([line])[0]: line for line in lines}
        self.assertIn("/pub/docs/", by_name)
        self.assertIn("/pub/docs/old/", by_name)
        self.assertTrue(by_name["/pub/docs/"].startswith("d"))
        self.assertTrue(by_name["/pub/music/song one.mp3"].startswith("-"))
        self.assertRegex(by_name["/pub/music/song one.mp3"], r"\s10240\s")
        self.assertTrue(all(name.startswith("/") for name in by_name))

    def test_the_results_folder_can_be_entered_and_printed(self):
        server = self.start_ftp()
        client = self.login(server)
        client.sendcmd("SITE SRCH readme")
        client.cwd(SEARCH_FOLDER)
        self.assertEqual(client.pwd(), SEARCH_FOLDER)
        self.assertEqual(names_in(self.listing(client)), ["/pub/docs/readme.txt"])
        client.cwd("..")
        self.assertEqual(client.pwd(), "/")

    def test_the_results_folder_is_empty_before_the_first_search(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertEqual(self.listing(client, SEARCH_FOLDER), [])

    def test_a_link_is_found_and_not_followed(self):
        server = self.start_ftp()
        client = self.login(server)
        client.sendcmd("SITE SRCH latest")
        lines = self.listing(client, SEARCH_FOLDER)
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].startswith("l"))
        self.assertTrue(lines[0].endswith("/pub/latest -> docs"))

    def test_plain_srch_searches_too(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertEqual(self.search(client, "history", command="SRCH"),
                         ["/pub/docs/old/history.txt"])

    def test_a_search_without_keywords_is_refused(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertRefused(lambda: client.sendcmd("SITE SRCH    "), "501")

    def test_a_named_user_searches_below_its_own_root(self):
        own_root = os.path.join(self.root, "pub", "music")
        server = self.start_ftp("--user", f"carol:pw:{own_root}")
        client = self.login(server, "carol", "pw")
        self.assertEqual(self.search(client, "o"), ["/song one.mp3"])


class PasswordTest(ServerTestCase):
    def test_chpwd_changes_the_named_users_password(self):
        server = self.start_ftp()
        client = self.login(server, NAMED_USER, NAMED_PASSWORD)
        self.assertTrue(client.sendcmd("SITE CHPWD n3w pass").startswith("200 "))
        self.login(server, NAMED_USER, "n3w pass")
        stale = self.connect(server)
        self.assertRefused(lambda: stale.login(NAMED_USER, NAMED_PASSWORD), "530")

    def test_chpwd_is_refused_for_anonymous(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertRefused(lambda: client.sendcmd("SITE CHPWD anything"), "550")

    def test_chpwd_needs_a_login(self):
        server = self.start_ftp()
        client = self.connect(server)
        self.assertRefused(lambda: client.sendcmd("SITE CHPWD anything"), "530")


class AccountTest(ServerTestCase):
    def test_anonymous_reads_but_cannot_write(self):
        server = self.start_ftp()
        client = self.login(server)
        self.assertEqual(self.retrieve(client, "/pub/docs/readme.txt"),
                         SAMPLE_FILES["pub/docs/readme.txt"])
        writes = [("STOR", lambda: client.storbinary("STOR /incoming/x.bin", io.BytesIO(b"x"))),
                  ("MKD", lambda: client.mkd("/incoming/new")),
                  ("DELE", lambda: client.delete("/pub/docs/readme.txt")),
                  ("RNFR", lambda: client.rename("/pub/docs/readme.txt", "/pub/r.txt")),
                  ("SITE CHMOD", lambda: client.sendcmd("SITE CHMOD 600 /big.bin"))]
        for label, call in writes:
            with self.subTest(label):
                self.assertRefused(call, "550")
        self.assertFalse(os.path.exists(os.path.join(self.root, "incoming/x.bin")))

    def test_named_user_writes_and_changes_modes(self):
        server = self.start_ftp()
        client = self.login(server, NAMED_USER, NAMED_PASSWORD)
        client.storbinary("STOR /incoming/up.bin", io.BytesIO(b"uploaded bytes"))
        with open(os.path.join(self.root, "incoming/up.bin"), "rb") as stream:
            self.assertEqual(stream.read(), b"uploaded bytes")
        self.assertTrue(client.sendcmd("SITE CHMOD 640 /incoming/up.bin").startswith("200 "))
        mode = stat.S_IMODE(os.stat(os.path.join(self.root, "incoming/up.bin")).st_mode)
        self.assertEqual(mode, 0o640)

    def test_wrong_password_and_disabled_anonymous_are_refused(self):
        server = self.start_ftp("--no-anonymous")
        self.assertRefused(lambda: self.connect(server).login(NAMED_USER, "wrong"), "530")
        self.assertRefused(lambda: self.connect(server).login(), "530")


UNIX_LINE = re.compile(r"^([-dl][-rwxsStT]{9}) +\d+ +\S+ +\S+ +(\d+) +"
                       r"([A-Z][a-z]{2} [ 0-9]\d (?: \d{4}|\d\d:\d\d)) (.+)$")
DOS_LINE = re.compile(r"^(\d\d-\d\d-\d\d) +(\d\d:\d\d[AP]M) +(<DIR>|\d+) +(.+)$")


class ListingStyleTest(ServerTestCase):
    def test_unix_listing_shows_kinds_sizes_and_link_targets(self):
        server = self.start_ftp("--listing", "unix")
        client = self.login(server)
        parsed = {}
        for line in self.listing(client, "/pub"):
            match = UNIX_LINE.match(line)
            self.assertIsNotNone(match, line)
            parsed[match.group(4)] = (match.group(1)[0], int(match.group(2)))
        self.assertEqual(parsed["docs"][0], "d")
        self.assertEqual(parsed["latest -> docs"][0], "l")
        self.assertEqual(parsed["music"][0], "d")
        music = self.listing(client, "/pub/music")
        self.assertEqual(UNIX_LINE.match(music[0]).group(2), "10240")

    def test_dos_listing_marks_folders_and_gives_sizes(self):
        server = self.start_ftp("--listing", "dos")
        client = self.login(server)
        parsed = {}
        for line in self.listing(client, "/pub/docs"):
            match = DOS_LINE.match(line)
            self.assertIsNotNone(match, line)
            parsed[match.group(4)] = match.group(3)
        self.assertEqual(parsed, {"Guide Book.TXT": "1100", "old": "<DIR>", "readme.txt": "13"})

    def test_dos_listing_shows_a_link_as_what_it_points_at(self):
        server = self.start_ftp("--listing", "dos")
        client = self.login(server)
        lines = {DOS_LINE.match(line).group(4): DOS_LINE.match(line).group(3)
                 for line in self.listing(client, "/pub")}
        self.assertEqual(lines["latest"], "<DIR>")

    def test_dos_search_results_carry_full_paths(self):
        server = self.start_ftp("--listing", "dos")
        client = self.login(server)
        client.sendcmd("SITE SRCH old")
        lines = self.listing(client, SEARCH_FOLDER)
        self.assertEqual([(DOS_LINE.match(line).group(3), DOS_LINE.match(line).group(4))
                          for line in lines], [("<DIR>", "/pub/docs/old/")])


if __name__ == "__main__":
    unittest.main()
