#!/usr/bin/python3
"""A fast SMTP sink for the delivery benchmark.

Listens on 127.0.0.1 (port 0 unless --port is given), prints the port it got on
the first line of standard output, and then answers every client as a willing
server: EHLO offers AUTH LOGIN, any login is accepted, every sender and
recipient is taken, and the data phase is read in large chunks up to the final
dot. Each delivered letter appends "<bytes of data>" as one line to the --log
file, so the caller can count what arrived. Nothing is stored.

Stops on SIGTERM or SIGINT, or by itself after --lifetime seconds.
"""

import argparse
import asyncio
import signal
import sys

CHUNK = 256 * 1024
END_OF_DATA = b"\r\n.\r\n"
MAX_LINE = 64 * 1024


class Session:
    def __init__(self, reader, writer, log):
        self.reader = reader
        self.writer = writer
        self.log = log
        self.buffer = bytearray()

    async def read_line(self):
        """One CR LF (or LF) ended line without its ending; None at end of stream."""
        while True:
            end = self.buffer.find(b"\n")
            if end >= 0:
                line = bytes(self.buffer[:end]).rstrip(b"\r")
                del self.buffer[: end + 1]
                return line
            if len(self.buffer) > MAX_LINE:
                return None
            chunk = await self.reader.read(CHUNK)
            if not chunk:
                return None
            self.buffer += chunk

    async def read_data(self):
        """Bytes of the data phase up to the final dot; None when the peer goes away.

        The data starts right after a line ending, so a letter of no lines
        ends with ".\r\n" at once; a leading CR LF stands in for that ending.
        """
        seen = 0
        tail = b"\r\n"
        while True:
            window = tail + bytes(self.buffer)
            end = window.find(END_OF_DATA)
            if end >= 0:
                used = end + len(END_OF_DATA) - len(tail)
                seen += max(used, 0)
                del self.buffer[:used]
                return seen
            keep = len(END_OF_DATA) - 1
            seen += len(self.buffer)
            tail = window[-keep:]
            self.buffer.clear()
            chunk = await self.reader.read(CHUNK)
            if not chunk:
                return None
            self.buffer += chunk

    def reply(self, text):
        self.writer.write(text.encode("ascii") + b"\r\n")

    async def run(self):
        self.reply("220 sink.localhost ESMTP ready")
        while True:
            line = await self.read_line()
            if line is None:
                return
            verb, _, argument = line.partition(b" ")
            verb = verb.upper()
            if verb == b"EHLO":
                self.reply("250-sink.localhost\r\n250-8BITMIME\r\n250-SIZE 0\r\n250 AUTH LOGIN")
            elif verb == b"HELO":
                self.reply("250 sink.localhost")
            elif verb == b"AUTH":
                if not await self.login(argument):
                    return
            elif verb in (b"MAIL", b"RCPT", b"RSET", b"NOOP"):
                self.reply("250 OK")
            elif verb == b"DATA":
                self.reply("354 End data with <CR><LF>.<CR><LF>")
                size = await self.read_data()
                if size is None:
                    return
                self.log.write(f"{size}\n")
                self.reply("250 OK queued")
            elif verb == b"QUIT":
                self.reply("221 Bye")
                return
            else:
                self.reply("502 Command not implemented")
            await self.writer.drain()

    async def login(self, argument):
        """AUTH LOGIN, with or without the user name on the command line."""
        mechanism, _, initial = argument.partition(b" ")
        if mechanism.upper() != b"LOGIN":
            self.reply("504 Unrecognized authentication type")
            return True
        if not initial:
            self.reply("334 VXNlcm5hbWU6")
            await self.writer.drain()
            if await self.read_line() is None:
                return False
        self.reply("334 UGFzc3dvcmQ6")
        await self.writer.drain()
        if await self.read_line() is None:
            return False
        self.reply("235 Authentication successful")
        return True


async def serve(arguments):
    log = open(arguments.log, "a", buffering=1) if arguments.log else open("/dev/null", "w")

    async def handle(reader, writer):
        try:
            await Session(reader, writer, log).run()
        except (ConnectionError, asyncio.IncompleteReadError):
            pass
        finally:
            writer.close()

    server = await asyncio.start_server(handle, "127.0.0.1", arguments.port, limit=CHUNK)
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)
    try:
        await asyncio.wait_for(stop.wait(), arguments.lifetime)
    except asyncio.TimeoutError:
        print("smtp_sink: lifetime over, stopping", file=sys.stderr)
    server.close()
    log.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", help="file that gets one line per delivered letter")
    parser.add_argument("--lifetime", type=float, default=3600.0,
                        help="seconds after which the sink stops by itself")
    asyncio.run(serve(parser.parse_args()))


if __name__ == "__main__":
    main()
