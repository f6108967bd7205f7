"""Data connections with an evenly paced rate limit and a fault that drops
the connection part-way through a file transfer."""

import logging
from timeit import default_timer as timer

from pyftpdlib.handlers import DTPHandler

logger = logging.getLogger("familyftpd")


class Pacer:
    """Releases bytes evenly: at most `rate` bytes per second, in slices of
    1/50 s. (pyftpdlib's own throttle lets a whole second's worth through
    at once, so short transfers beat the limit.)"""

    SLICE_SECONDS = 0.02

    def __init__(self, rate, clock=timer):
        self._rate = rate
        self._clock = clock
        self._start = clock()
        self._spent = 0
        self._slice = max(1, int(rate * self.SLICE_SECONDS))

    def allowance(self):
        """Bytes that may go now (0 or less: none)."""
        earned = int((self._clock() - self._start) * self._rate)
        return earned + self._slice - self._spent

    def spend(self, count):
        self._spent += count

    def seconds_until_slice(self):
        """How long until a whole slice may go again."""
        behind = self._spent / self._rate - (self._clock() - self._start)
        return max(behind, 0.001)


class FamilyDataChannel(DTPHandler):
    """Reads its switches from the control connection's settings and draws
    on the server-wide count of connections still to drop."""

    def __init__(self, sock, cmd_channel):
        self._pacer = None
        self._drop_after = None
        self._read_limit = 0
        super().__init__(sock, cmd_channel)
        rate = cmd_channel.settings.rate
        if rate:
            self._pacer = Pacer(rate)

    # --- choosing what applies to this transfer

    def _arm_drop(self):
        """The first file transfers of the server are dropped, and its first
        listings when asked; a listing has no file object."""
        if self._drop_after is not None:
            return
        state = self.cmd_channel.state
        if state.take_drop() if self.file_obj is not None else state.take_listing_drop():
            self._drop_after = self.cmd_channel.settings.drop_after

    def use_sendfile(self):
        return self._pacer is None and self._drop_after is None and super().use_sendfile()

    def push_with_producer(self, producer):
        self._arm_drop()
        super().push_with_producer(producer)

    def enable_receiving(self, type, cmd):
        self._arm_drop()
        super().enable_receiving(type, cmd)

    # --- moving bytes

    def _budget(self, wanted, done, events):
        """Bytes that may move now; 0 after arranging a pause or a drop."""
        if self._drop_after is not None:
            left = self._drop_after - done
            if left <= 0:
                self._drop()
                return 0
            wanted = min(wanted, left)
        if self._pacer is not None:
            allowed = self._pacer.allowance()
            if allowed <= 0:
                self._pause(events, self._pacer.seconds_until_slice())
                return 0
            wanted = min(wanted, allowed)
        return wanted

    def send(self, data):
        budget = self._budget(len(data), self.tot_bytes_sent, self.ioloop.WRITE)
        if budget == 0:
            return 0
        sent = super().send(data[:budget])
        if self._pacer is not None:
            self._pacer.spend(sent)
        return sent

    def handle_read(self):
        self._read_limit = self._budget(self.ac_in_buffer_size, self.tot_bytes_received,
                                        self.ioloop.READ)
        if self._read_limit:
            super().handle_read()

    # The base class binds its own handle_read here; the loop calls this name.
    handle_read_event = handle_read

    def recv(self, buffer_size):
        chunk = super().recv(min(buffer_size, self._read_limit or buffer_size))
        if self._pacer is not None:
            self._pacer.spend(len(chunk))
        return chunk

    def _pause(self, events, seconds):
        self.del_channel()
        self.call_later(seconds, self._resume, events)

    def _resume(self, events):
        if not self._closed:
            self.add_channel(events=events)

    def _drop(self):
        self._resp = ("426 Data connection dropped; transfer aborted.", logger.info)
        self.close()
