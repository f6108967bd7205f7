"""The index server's endpoints, searches, records and faults, spoken to the
way the program speaks to them."""

import ftplib
import http.client
import json
import os
import shutil
import time
import unittest
import urllib.error
import urllib.request

from fixtures import SAMPLE_FILES, ServerTestCase, md5_upper

README_MD5 = md5_upper(SAMPLE_FILES["pub/docs/readme.txt"])
CATEGORY_SAMPLES = ("a-tune.wav", "a-clip.avi", "a-photo.jpg", "a-tool.zip", "a-paper.pdf",
                    "a-thing.xyz")
MANY_FILES = 210


def form_encode(text):
    """As the program encodes form values: letters and digits stay, a space
    becomes "+", every other byte "%XX"."""
    encoded = []
    for byte in text.encode("utf8"):
        character = chr(byte)
        if character.isascii() and character.isalnum():
            encoded.append(character)
        elif character == " ":
            encoded.append("+")
        else:
            encoded.append(f"%{byte:02X}")
    return "".join(encoded)


def search_body(keyword, category=0, country="UN", record=0, logic=0):
    return (f"query={form_encode(keyword)}&category={category}&country={country}"
            f"&record={record}&logic={logic}&username=demo&password=pw")


def request(url, body=None, content_type=None):
    """(status, text) of one request; error statuses are answers too."""
    data = None if body is None else body.encode("utf8")
    headers = {"Content-Type": content_type} if content_type else {}
    try:
        with urllib.request.urlopen(urllib.request.Request(url, data=data, headers=headers),
                                    timeout=10) as reply:
            return reply.status, reply.read().decode("utf8")
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode("utf8")


def result_lines(text):
    return [line for line in text.split("\n") if line]


def names_of(text):
    return [line.split("*")[10] for line in result_lines(text)]


class IndexTestCase(ServerTestCase):
    """alice (US, persistent) shares the sample tree with extra media files,
    bob (DE, found by user name) shares a folder with a copy of readme.txt,
    carol (FR) shares many files."""

    def setUp(self):
        super().setUp()
        media = os.path.join(self.root, "media")
        os.makedirs(os.path.join(media, "a-folder"))
        for name in CATEGORY_SAMPLES:
            with open(os.path.join(media, name), "wb") as stream:
                stream.write(name.encode())
        self.bob_root = self.make_folder()
        shutil.copy(os.path.join(self.root, "pub/docs/readme.txt"), self.bob_root)
        with open(os.path.join(self.bob_root, "bob song.mp3"), "wb") as stream:
            stream.write(b"la la")
        self.carol_root = self.make_folder()
        for number in range(MANY_FILES):
            with open(os.path.join(self.carol_root, f"file-{number:03d}.dat"), "wb") as stream:
                stream.write(b"x")

    def start_network(self, *switches, alice_port=2121):
        server = self.start_index(
            "--server", f"alice,127.0.0.1,{alice_port},1,5,US,{self.root}",
            "--server", f"bob,127.0.0.1,2122,0,3,DE,{self.bob_root}",
            "--server", f"carol,127.0.0.1,2123,1,8,FR,{self.carol_root}",
            *switches)
        self.base = server.fields["base"]
        self.origin = self.base[:-len("/p2p/v6")]
        return server

    def search(self, keyword, **choices):
        status, text = request(self.base + "/search.php", search_body(keyword, **choices))
        self.assertEqual(status, 200, text)
        return text

    def resume(self, body):
        return request(self.base + "/resume.php", body)


class DiscoveryTest(IndexTestCase):
    def test_getsindex_gives_the_url_that_search_paths_are_joined_to(self):
        self.start_network()
        status, resolved = request(self.base + "/getsindex.php")
        self.assertEqual((status, resolved), (200, self.origin + "/p2p"))
        status, text = request(resolved + "/v6/search.php", search_body("readme"))
        self.assertEqual(status, 200)
        self.assertEqual(names_of(text), ["readme.txt", "readme.txt"])

    def test_getpindex_gives_the_url_that_takes_updates_below_p2p_v6(self):
        self.start_network()
        status, text = request(self.base + "/getpindex.php")
        self.assertEqual((status, text), (200, self.origin + "/"))
        status, reply = request(text + "p2p/v6/updatemd5.php",
                                "protocol=0&filename=a&pathname=%2F&ip=1.2.3.4&port=21"
                                "&filesize=1&md5=X&date=Jan+1+00%3A00&action=update")
        self.assertEqual(status, 200)
        self.assertTrue(reply.startswith("200 "), reply)


class SearchTest(IndexTestCase):
    def test_result_lines_carry_the_twelve_fields_of_each_entry(self):
        self.start_network()
        lines = result_lines(self.search("readme"))
        self.assertEqual(len(lines), 2)
        modified = os.stat(os.path.join(self.root, "pub/docs/readme.txt")).st_mtime
        date = time.strftime("%Y%m%d", time.gmtime(modified))
        alice = lines[0].split("*")
        self.assertEqual(len(alice), 12)
        self.assertEqual(alice[:7], ["alice", "127.0.0.1", "2121", "5", "1", "US", "-"])
        self.assertEqual(alice[7][:8], date)
        self.assertEqual(alice[8:], ["13", "/pub/docs/", "readme.txt", README_MD5])
        bob = lines[1].split("*")
        self.assertEqual(bob[:7], ["bob", "127.0.0.1", "2122", "3", "0", "DE", "-"])
        self.assertEqual(bob[9:], ["/", "readme.txt", README_MD5])

    def test_folders_and_links_have_their_kinds_and_no_digest(self):
        self.start_network()
        by_name = {line.split("*")[10]: line.split("*") for line in
                   result_lines(self.search("latest docs", logic=1))}
        self.assertEqual((by_name["docs"][6], by_name["docs"][9], by_name["docs"][11]),
                         ("d", "/pub/", ""))
        self.assertEqual((by_name["latest"][6], by_name["latest"][11]), ("l", ""))

    def test_keyword_logic(self):
        self.start_network()
        cases = [("guide book", 0, ["Guide Book.TXT"]),
                 ("GUIDE BOOK", 0, ["Guide Book.TXT"]),
                 ("book.txt", 0, ["Guide Book.TXT"]),
                 ("guide readme", 0, []),
                 ("guide history", 1, ["Guide Book.TXT", "history.txt"]),
                 ("song", 0, ["song one.mp3", "bob song.mp3"])]
        for keyword, logic, expected in cases:
            with self.subTest(keyword=keyword, logic=logic):
                self.assertEqual(names_of(self.search(keyword, logic=logic)), expected)

    def test_categories_pick_entries_by_extension(self):
        self.start_network()
        cases = [(0, ["a-folder", *sorted(CATEGORY_SAMPLES)]),
                 (1, ["a-tune.wav"]), (2, ["a-clip.avi"]), (3, ["a-photo.jpg"]),
                 (4, ["a-tool.zip"]), (5, ["a-paper.pdf"]), (6, ["a-folder", "a-thing.xyz"])]
        for category, expected in cases:
            with self.subTest(category=category):
                self.assertEqual(sorted(names_of(self.search("a-", category=category))),
                                 sorted(expected))

    def test_country_limits_the_servers_and_un_means_all(self):
        self.start_network()
        cases = [("UN", ["alice", "bob"]), ("US", ["alice"]), ("DE", ["bob"]), ("JP", [])]
        for country, expected in cases:
            with self.subTest(country):
                owners = [line.split("*")[0] for line in
                          result_lines(self.search("readme", country=country))]
                self.assertEqual(owners, expected)

    def test_the_results_choice_gives_50_100_or_200_lines(self):
        self.start_network()
        for record, expected in [(0, 50), (1, 100), (2, 200), (7, 50)]:
            with self.subTest(record=record):
                self.assertEqual(len(result_lines(self.search("file-", record=record))), expected)

    def test_an_empty_keyword_finds_nothing(self):
        self.start_network()
        self.assertEqual(self.search("   "), "")


class ResumeTest(IndexTestCase):
    def test_a_known_user_resolves_to_address_star_port_without_line_end(self):
        self.start_network()
        self.assertEqual(self.resume("username=bob&action=getIPFromUsername&loginusername="
                                     "&loginpassword="), (200, "127.0.0.1*2122"))

    def test_an_unknown_or_offline_user_fails_like_an_ftp_error(self):
        self.start_network("--offline-user", "bob")
        for user in ("nobody", "bob"):
            with self.subTest(user):
                status, text = self.resume(f"username={user}&action=getIPFromUsername")
                self.assertEqual(status, 200)
                self.assertTrue(text.startswith("5") and text[3] == " ", text)
        self.assertIn("bob", [line.split("*")[0] for line in result_lines(self.search("song"))])

    def test_others_lists_every_server_holding_the_digest(self):
        self.start_network()
        for md5 in (README_MD5, README_MD5.lower()):
            with self.subTest(md5):
                status, text = self.resume(f"md5={md5}&action=others&loginusername=&loginpassword=")
                self.assertEqual([line.split("*")[0] for line in result_lines(text)],
                                 ["alice", "bob"])
                self.assertTrue(all(line.split("*")[11] == README_MD5
                                    for line in result_lines(text)))

    def test_others_of_an_unknown_digest_is_empty(self):
        self.start_network()
        self.assertEqual(self.resume("md5=" + "0" * 32 + "&action=others"), (200, ""))

    def test_an_unknown_action_fails(self):
        self.start_network()
        status, text = self.resume("action=whatever")
        self.assertTrue(text.startswith("5") and text[3] == " ", text)


class UpdateRecordTest(IndexTestCase):
    BODY = ("protocol=0&filename=" + form_encode("song one.mp3") + "&pathname="
            + form_encode("/pub/music/") + "&ip=203.0.113.5&port=2121&filesize=10240&md5="
            + README_MD5 + "&date=" + form_encode("Mar 3 12:01") + "&action=update")

    def records(self):
        status, text = request(self.origin + "/records")
        self.assertEqual(status, 200)
        return json.loads(text)

    def test_updates_are_recorded_decoded_and_can_be_read_back(self):
        self.start_network()
        self.assertEqual(self.records(), [])
        status, reply = request(self.base + "/updatemd5.php", self.BODY,
                                "application/x-www-form-urlencoded")
        self.assertTrue(reply.startswith("200 "), reply)
        self.assertEqual(self.records(), [{
            "protocol": "0", "filename": "song one.mp3", "pathname": "/pub/music/",
            "ip": "203.0.113.5", "port": "2121", "filesize": "10240", "md5": README_MD5,
            "date": "Mar 3 12:01", "action": "update",
            "content_type": "application/x-www-form-urlencoded"}])

    def test_an_update_missing_fields_is_recorded_and_refused(self):
        self.start_network()
        status, reply = request(self.base + "/updatemd5.php", "protocol=0&filename=x",
                                "application/x-www-form-urlencoded")
        self.assertGreaterEqual(int(reply[:3]), 300, reply)
        self.assertEqual([record["filename"] for record in self.records()], ["x"])


class HttpRulesTest(IndexTestCase):
    def raw(self, method, path, body=None, headers=None):
        parsed = urllib.request.urlparse(self.origin)
        connection = http.client.HTTPConnection(parsed.hostname, parsed.port, timeout=10)
        self.addCleanup(connection.close)
        connection.putrequest(method, path)
        for name, value in (headers or {}).items():
            connection.putheader(name, value)
        connection.endheaders(body)
        return connection.getresponse().status

    def test_wrong_method_unknown_path_and_bad_bodies_are_refused(self):
        self.start_network()
        cases = [("GET on a POST endpoint", "GET", "/p2p/v6/search.php", None, {}, 405),
                 ("POST on a GET endpoint", "POST", "/p2p/v6/getsindex.php", b"",
                  {"Content-Length": "0"}, 405),
                 ("unknown path", "GET", "/p2p/v6/nothing.php", None, {}, 404),
                 ("no length", "POST", "/p2p/v6/search.php", None, {}, 411),
                 ("too large", "POST", "/p2p/v6/search.php", None,
                  {"Content-Length": str(10 ** 9)}, 413)]
        for label, method, path, body, headers, expected in cases:
            with self.subTest(label):
                self.assertEqual(self.raw(method, path, body, headers), expected)

    def test_the_request_log_records_method_path_and_body(self):
        log = os.path.join(self.make_folder(), "requests.log")
        self.start_network("--request-log", log)
        self.search("guide book")
        request(self.base + "/getsindex.php")
        with open(log, encoding="utf8") as stream:
            entries = [json.loads(line) for line in stream]
        self.assertEqual([(entry["method"], entry["path"]) for entry in entries],
                         [("POST", "/p2p/v6/search.php"), ("GET", "/p2p/v6/getsindex.php")])
        self.assertEqual(entries[0]["body"], search_body("guide book"))

    def test_the_server_stops_after_its_lifetime(self):
        server = self.start_network("--lifetime", "1")
        self.assertEqual(server.wait(15), 0)


class FaultTest(IndexTestCase):
    ENDPOINTS = [("getsindex", "/getsindex.php", None), ("search", "/search.php", "query=x"),
                 ("resume", "/resume.php", "action=others&md5=x"),
                 ("getpindex", "/getpindex.php", None),
                 ("updatemd5", "/updatemd5.php", "protocol=0")]

    def test_an_error_status_answers_every_endpoint(self):
        self.start_network("--error-status", "503")
        for name, path, body in self.ENDPOINTS:
            with self.subTest(name):
                self.assertEqual(request(self.base + path, body)[0], 503)

    def test_faults_can_be_limited_to_one_endpoint(self):
        self.start_network("--error-status", "500", "--fault-endpoint", "search")
        self.assertEqual(request(self.base + "/search.php", search_body("readme"))[0], 500)
        self.assertEqual(request(self.base + "/getsindex.php"), (200, self.origin + "/p2p"))

    def test_an_empty_reply_is_200_without_a_body(self):
        self.start_network("--empty-reply")
        for name, path, body in self.ENDPOINTS:
            with self.subTest(name):
                self.assertEqual(request(self.base + path, body), (200, ""))

    def test_a_garbage_line_follows_the_first_result_line(self):
        self.start_network("--garbage-line")
        lines = result_lines(self.search("readme"))
        self.assertEqual(len(lines), 3)
        self.assertEqual([line.count("*") for line in lines], [11, 0, 11])
        self.assertEqual(result_lines(self.search("no such name")), [lines[1]])

    def test_a_delay_holds_the_reply_back(self):
        self.start_network("--delay", "400")
        start = time.monotonic()
        self.search("readme")
        self.assertGreaterEqual(time.monotonic() - start, 0.38)


class AgainstFamilyServerTest(IndexTestCase):
    def test_a_result_line_leads_to_the_file_on_the_ftp_server(self):
        ftp = self.start_ftp()
        self.start_network(alice_port=ftp.port)
        line = result_lines(self.search("guide", country="US"))[0].split("*")
        status, address = self.resume("username=alice&action=getIPFromUsername")
        host, port = address.split("*")
        self.assertEqual((host, int(port)), (line[1], ftp.port))
        client = ftplib.FTP(timeout=10)
        self.addCleanup(client.close)
        client.connect(host, int(port))
        client.login()
        path = line[9] + line[10]
        self.assertEqual(client.sendcmd(f"SITE MD5 {path}"), "200 " + line[11])
        client.voidcmd("TYPE I")
        self.assertEqual(client.size(path), int(line[8]))


if __name__ == "__main__":
    unittest.main()
