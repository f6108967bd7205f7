"""The switches and faults of familyftpd, each set for one server start."""

import ftplib
import io
import os
import re
import socket
import time
import unittest

from fixtures import NAMED_PASSWORD, NAMED_USER, SAMPLE_FILES, ServerTestCase

from ftpdatachannel import Pacer
from readiness import ephemeral_range, free_port_block

BIG = SAMPLE_FILES["big.bin"]


def passive_port(reply):
    numbers = re.search(r"\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)", reply).groups()
    return int(numbers[4]) * 256 + int(numbers[5])


class FakeClock:
    def __init__(self):
        self.now = 0.0

    def __call__(self):
        return self.now


class PacerTest(unittest.TestCase):
    def test_releases_one_slice_at_once_and_the_rest_as_time_passes(self):
        clock = FakeClock()
        pacer = Pacer(1000, clock)
        self.assertEqual(pacer.allowance(), 20)
        pacer.spend(20)
        self.assertEqual(pacer.allowance(), 0)
        self.assertAlmostEqual(pacer.seconds_until_slice(), 0.02)
        clock.now = 0.5
        self.assertEqual(pacer.allowance(), 500)

    def test_never_gets_ahead_of_the_rate_by_more_than_a_slice(self):
        clock = FakeClock()
        pacer = Pacer(50_000, clock)
        sent = 0
        for step in range(1, 400):
            clock.now = step * 0.0037
            allowed = max(pacer.allowance(), 0)
            pacer.spend(allowed)
            sent += allowed
            self.assertLessEqual(sent, 50_000 * clock.now + 1000)
        self.assertGreaterEqual(sent, 50_000 * clock.now)

    def test_waits_until_a_whole_slice_is_earned(self):
        clock = FakeClock()
        pacer = Pacer(10_000, clock)
        pacer.spend(5_200)
        self.assertAlmostEqual(pacer.seconds_until_slice(), 0.52)
        clock.now = 0.52
        self.assertEqual(pacer.allowance(), 200)


class RateLimitTest(ServerTestCase):
    RATE = 100_000

    def test_a_download_is_paced_evenly_from_its_start(self):
        server = self.start_ftp("--rate", str(self.RATE))
        client = self.login(server)
        client.voidcmd("TYPE I")
        arrivals = []
        received = 0
        start = time.monotonic()

        def collect(chunk):
            nonlocal received
            received += len(chunk)
            arrivals.append((time.monotonic() - start, received))

        client.retrbinary("RETR big.bin", collect)
        self.assertEqual(received, len(BIG))
        self.assertGreaterEqual(arrivals[-1][0], 0.9 * len(BIG) / self.RATE)
        early = max((count for moment, count in arrivals if moment <= 0.5), default=0)
        self.assertLessEqual(early, 0.6 * self.RATE)

    def test_an_upload_is_paced_too(self):
        server = self.start_ftp("--rate", str(self.RATE))
        client = self.login(server, NAMED_USER, NAMED_PASSWORD)
        payload = bytes(150_000)
        start = time.monotonic()
        client.storbinary("STOR /incoming/paced.bin", io.BytesIO(payload))
        self.assertGreaterEqual(time.monotonic() - start, 0.9 * len(payload) / self.RATE)
        self.assertEqual(os.path.getsize(os.path.join(self.root, "incoming/paced.bin")),
                         len(payload))


class ConnectionLimitTest(ServerTestCase):
    def test_connections_beyond_the_limit_get_421_until_one_leaves(self):
        server = self.start_ftp("--max-connections", "2")
        first = self.login(server)
        self.connect(server)
        refused = ftplib.FTP(timeout=10)
        with self.assertRaises(ftplib.error_temp) as caught:
            refused.connect("127.0.0.1", server.port)
        refused.close()
        self.assertTrue(str(caught.exception).startswith("421"), str(caught.exception))
        first.quit()
        deadline = time.monotonic() + 5
        while True:
            try:
                self.login(server)
                break
            except ftplib.error_temp:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)



class ActiveModeTest(ServerTestCase):
    def test_a_session_opening_its_next_active_connection_leaves_another_transfer_running(self):
        huge = bytes(range(256)) * (32 * 1024)  # 8 MiB: far more than the socket buffers hold
        with open(os.path.join(self.root, "huge.bin"), "wb") as stream:
            stream.write(huge)
        server = self.start_ftp()
        first = self.login(server)
        second = self.login(server)
        first.set_pasv(False)
        second.set_pasv(False)
        self.assertEqual(self.retrieve(first, "/pub/docs/readme.txt"), SAMPLE_FILES["pub/docs/readme.txt"])
        # The second session's data socket takes the descriptor number the
        # first one's finished transfer left free; the first session's next
        # PORT must not take it off the server's event loop.
        second.voidcmd("TYPE I")
        data = second.transfercmd("RETR /huge.bin")
        self.addCleanup(data.close)
        data.settimeout(5)
        received = [data.recv(65536)]
        listener = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(listener.close)
        first.sendport("127.0.0.1", listener.getsockname()[1])
        while chunk := data.recv(1 << 20):
            received.append(chunk)
        self.assertEqual(b"".join(received), huge)

# --refuse NAME: the commands it takes away, and one that must keep working.
REFUSALS = [
    ("REST", ["REST 100"], "SITE MD5S"),
    ("SIZE", ["SIZE /big.bin"], "SITE MD5S"),
    ("PASV", ["PASV", "EPSV"], "SITE MD5S"),
    ("PORT", ["PORT 127,0,0,1,200,10", "EPRT |1|127.0.0.1|51210|"], "SITE MD5S"),
    ("MD5", ["SITE MD5S", "SITE MD5 /big.bin"], "REST 0"),
    ("WEBL", ["SITE WEBL"], "SITE MD5S"),
    ("SEARCH", ["SITE SRCH big", "SRCH big", "SITE SRCHMODE 1"], "SITE MD5S"),
    ("SITE-SRCH", ["SITE SRCH big"], "SRCH big"),
    ("CHPWD", ["SITE CHPWD other"], "SITE MD5S"),
    ("CHMOD", ["SITE CHMOD 600 /big.bin"], "SITE MD5S"),
]


class RefusalTest(ServerTestCase):
    def test_refused_commands_are_not_understood_and_others_still_work(self):
        for name, refused, kept in REFUSALS:
            with self.subTest(name):
                server = self.start_ftp("--refuse", name, "--weblink", "/=http://x.example/")
                client = self.login(server, NAMED_USER, NAMED_PASSWORD)
                for command in refused:
                    self.assertRefused(lambda: client.sendcmd(command), "500")
                reply = client.sendcmd(kept)
                self.assertTrue(reply[0] in "23", reply)

    def test_refusals_combine(self):
        server = self.start_ftp("--refuse", "REST,SIZE", "--refuse", "MD5")
        client = self.login(server)
        for command in ("REST 100", "SIZE /big.bin", "SITE MD5S"):
            with self.subTest(command):
                self.assertRefused(lambda: client.sendcmd(command), "500")

    def test_without_rest_and_size_they_work_in_either_type(self):
        server = self.start_ftp()
        client = self.login(server)
        for transfer_type in ("A", "I"):
            with self.subTest(transfer_type):
                client.voidcmd(f"TYPE {transfer_type}")
                self.assertEqual(client.sendcmd("REST 100"), "350 Restarting at position 100.")
                self.assertEqual(client.sendcmd("REST 0"), "350 Restarting at position 0.")
                self.assertEqual(client.sendcmd("SIZE /big.bin"), f"213 {len(BIG)}")

    def test_refused_passive_mode_leaves_active_mode_working(self):
        server = self.start_ftp("--refuse", "PASV")
        client = self.login(server)
        self.assertRefused(lambda: self.retrieve(client, "/pub/docs/readme.txt"), "500")
        client.set_pasv(False)
        self.assertEqual(self.retrieve(client, "/pub/docs/readme.txt"),
                         SAMPLE_FILES["pub/docs/readme.txt"])

    def test_refused_active_mode_leaves_passive_mode_working(self):
        server = self.start_ftp("--refuse", "PORT")
        client = self.login(server)
        client.set_pasv(False)
        self.assertRefused(lambda: self.retrieve(client, "/pub/docs/readme.txt"), "500")
        client.set_pasv(True)
        self.assertEqual(self.retrieve(client, "/pub/docs/readme.txt"),
                         SAMPLE_FILES["pub/docs/readme.txt"])

    def test_without_search_the_results_folder_does_not_exist(self):
        server = self.start_ftp("--refuse", "SEARCH")
        client = self.login(server)
        self.assertRefused(lambda: client.cwd("/<ZeltaSearchResults>"), "550")

    def test_with_site_srch_refused_plain_srch_fills_the_results_folder(self):
        server = self.start_ftp("--refuse", "SITE-SRCH")
        client = self.login(server)
        client.sendcmd("SRCH readme")
        lines = self.listing(client, "/<ZeltaSearchResults>")
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].endswith(" /pub/docs/readme.txt"), lines[0])


class BannerTest(ServerTestCase):
    def test_greeting_lines_form_one_multi_line_reply(self):
        server = self.start_ftp("--banner", "Welcome to the family", "--banner", "Second line",
                                "--banner", "Ready.")
        client = self.connect(server)
        self.assertEqual(client.getwelcome(), "220-Welcome to the family\n220-Second line\n220 Ready.")
        self.assertTrue(client.login().startswith("230"))

    def test_default_greeting_is_one_line(self):
        server = self.start_ftp()
        self.assertEqual(self.connect(server).getwelcome(), "220 Family FTP server ready.")


class DropFaultTest(ServerTestCase):
    def test_the_first_file_transfers_are_cut_after_n_bytes(self):
        server = self.start_ftp("--drop-after", "1000", "--drop-transfers", "2")
        client = self.login(server)
        client.voidcmd("TYPE I")
        self.assertTrue(self.listing(client), "listings do not count as file transfers")
        for attempt in (1, 2):
            with self.subTest(attempt=attempt):
                received = bytearray()
                with self.assertRaises(ftplib.error_temp) as caught:
                    client.retrbinary("RETR /big.bin", received.extend)
                self.assertTrue(str(caught.exception).startswith("426"), str(caught.exception))
                self.assertEqual(bytes(received), BIG[:1000])
        self.assertEqual(self.retrieve(client, "/big.bin"), BIG)

    def test_the_count_is_shared_by_all_connections(self):
        server = self.start_ftp("--drop-after", "10")
        first = self.login(server)
        with self.assertRaises(ftplib.error_temp):
            self.retrieve(first, "/big.bin")
        second = self.login(server)
        self.assertEqual(self.retrieve(second, "/big.bin"), BIG)

    def test_an_upload_is_cut_too(self):
        server = self.start_ftp("--drop-after", "1000")
        client = self.login(server, NAMED_USER, NAMED_PASSWORD)
        with self.assertRaises((ftplib.error_temp, OSError)):
            client.storbinary("STOR /incoming/cut.bin", io.BytesIO(bytes(4_000_000)))
        stored = os.path.join(self.root, "incoming/cut.bin")
        deadline = time.monotonic() + 5
        while os.path.getsize(stored) != 1000 and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(os.path.getsize(stored), 1000)


    def test_the_first_listings_are_cut_when_asked_and_file_transfers_are_not(self):
        server = self.start_ftp("--drop-after", "40", "--drop-transfers", "0", "--drop-listings", "1")
        client = self.login(server)

        def raw_listing():
            with client.transfercmd("LIST /") as data:
                received = b""
                while chunk := data.recv(4096):
                    received += chunk
            return received, client.getresp

        cut, reply = raw_listing()
        with self.assertRaises(ftplib.error_temp) as caught:
            reply()
        self.assertTrue(str(caught.exception).startswith("426"), str(caught.exception))
        whole, reply = raw_listing()
        reply()
        self.assertEqual(len(cut), 40)
        self.assertTrue(whole.startswith(cut) and len(whole) > 40)
        self.assertEqual(self.retrieve(client, "/big.bin"), BIG)


class PasswordRefusalTest(ServerTestCase):
    def test_the_first_passwords_are_refused_then_login_works(self):
        server = self.start_ftp("--refuse-pass", "2")
        client = self.connect(server)
        for attempt in (1, 2):
            with self.subTest(attempt=attempt):
                self.assertRefused(lambda: client.login(NAMED_USER, NAMED_PASSWORD), "530")
        self.assertTrue(client.login(NAMED_USER, NAMED_PASSWORD).startswith("230"))
        self.assertTrue(self.connect(server).login().startswith("230"))


class IdlePassiveDropTest(ServerTestCase):
    def open_passive(self, client):
        host, port = ftplib.parse227(client.sendcmd("PASV"))
        data = socket.create_connection((host, port), timeout=5)
        self.addCleanup(data.close)
        return data

    def test_an_idle_passive_connection_is_closed_and_its_command_waits_in_vain(self):
        server = self.start_ftp("--drop-idle-passive", "1")
        client = self.login(server)
        client.voidcmd("TYPE I")
        data = self.open_passive(client)
        self.assertEqual(data.recv(1), b"")
        self.assertTrue(client.sendcmd("RETR /big.bin").startswith("150"))
        client.sock.settimeout(1.0)
        with self.assertRaises(TimeoutError):
            client.getresp()

    def test_only_the_first_idle_connections_are_closed(self):
        server = self.start_ftp("--drop-idle-passive", "1")
        first = self.login(server)
        self.assertEqual(self.open_passive(first).recv(1), b"")
        second = self.login(server)
        second.voidcmd("TYPE I")
        data = self.open_passive(second)
        data.settimeout(0.3)
        with self.assertRaises(TimeoutError):
            data.recv(1)
        data.settimeout(5)
        self.assertTrue(second.sendcmd("RETR /big.bin").startswith("125"))
        received = bytearray()
        while chunk := data.recv(65536):
            received.extend(chunk)
        self.assertEqual(bytes(received), BIG)
        self.assertTrue(second.getresp().startswith("226"))


class ReplyDelayTest(ServerTestCase):
    def test_every_reply_comes_late_and_in_order(self):
        server = self.start_ftp("--reply-delay", "300", "--banner", "first", "--banner", "last")
        start = time.monotonic()
        client = self.connect(server)
        self.assertGreaterEqual(time.monotonic() - start, 0.28)
        self.assertEqual(client.getwelcome(), "220-first\n220 last")
        start = time.monotonic()
        client.voidcmd("NOOP")
        self.assertGreaterEqual(time.monotonic() - start, 0.28)
        client.login()
        self.assertEqual(self.retrieve(client, "/pub/docs/readme.txt"),
                         SAMPLE_FILES["pub/docs/readme.txt"])
        self.assertEqual(client.quit(), "221 Goodbye.")


class PortsAndLifetimeTest(ServerTestCase):
    def test_passive_ports_come_from_the_given_range(self):
        block = free_port_block(10)
        server = self.start_ftp("--passive-ports", f"{block[0]}-{block[-1]}")
        self.assertEqual(server.fields["passive"], f"{block[0]}-{block[-1]}")
        client = self.login(server)
        for _ in range(5):
            self.assertIn(passive_port(client.sendcmd("PASV")), block)

    def test_the_default_passive_range_lies_outside_the_ephemeral_ports(self):
        server = self.start_ftp()
        low, high = (int(part) for part in server.fields["passive"].split("-"))
        ephemeral_low, ephemeral_high = ephemeral_range()
        self.assertTrue(high < ephemeral_low or low > ephemeral_high, server.fields["passive"])
        client = self.login(server)
        self.assertTrue(low <= passive_port(client.sendcmd("PASV")) <= high)

    def test_the_server_stops_after_its_lifetime_even_with_a_client_connected(self):
        server = self.start_ftp("--lifetime", "1")
        self.login(server)
        self.assertEqual(server.wait(15), 0)

    def test_the_command_log_records_every_command_line(self):
        log = os.path.join(self.make_folder(), "commands.log")
        server = self.start_ftp("--command-log", log)
        client = self.login(server)
        client.sendcmd("SITE MD5 /big.bin")
        client.quit()
        with open(log, encoding="utf8") as stream:
            lines = stream.read().splitlines()
        self.assertEqual(lines, ["USER anonymous", "PASS guest@", "SITE MD5 /big.bin", "QUIT"])


class SizeReplyTest(ServerTestCase):
    def test_size_answers_the_given_number_while_the_file_is_sent_as_it_is(self):
        server = self.start_ftp("--size-reply", "200000")
        client = self.login(server)
        client.voidcmd("TYPE I")
        self.assertEqual(client.sendcmd("SIZE /big.bin"), "213 200000")
        self.assertRefused(lambda: client.sendcmd("SIZE /missing.bin"), "550")
        received = io.BytesIO()
        client.retrbinary("RETR /big.bin", received.write)
        self.assertEqual(received.getvalue(), BIG)


if __name__ == "__main__":
    unittest.main()
