"""A local SMTP server for trying Quillet without a mail account.

aiosmtpd on 127.0.0.1, AUTH LOGIN offered over plain text and any login
accepted. Every letter received is printed whole to standard output, decoded
headers first. The first line printed is "PORT <n>".
"""

import argparse
import asyncio
import email
import email.header
import email.policy
import logging
import signal
import sys

from aiosmtpd.smtp import SMTP, AuthResult

# aiosmtpd logs a deprecation notice of its own at every login.
logging.getLogger("mail.log").setLevel(logging.ERROR)


def accept_any_login(server, session, envelope, mechanism, auth_data):
    return AuthResult(success=True)


def decoded(value):
    unfolded = value.replace("\r\n", "").replace("\n", "")
    return str(email.header.make_header(email.header.decode_header(unfolded)))


class Printer:
    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content or envelope.content
        message = email.message_from_bytes(data, policy=email.policy.compat32)
        charset = message.get_content_charset() or "windows-1251"
        print("=" * 60)
        print(f"Envelope from: {envelope.mail_from}")
        print(f"Envelope to:   {', '.join(envelope.rcpt_tos)}")
        for name, value in message.items():
            print(f"{name}: {decoded(value)}")
        print()
        print(message.get_payload(decode=True).decode(charset, errors="replace"))
        print("=" * 60, flush=True)
        return "250 Message accepted for delivery"


async def serve(port):
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(Printer(), authenticator=accept_any_login, auth_require_tls=False,
                     hostname="quillet-local"),
        host="127.0.0.1", port=port)
    print(f"PORT {server.sockets[0].getsockname()[1]}", flush=True)
    stop = asyncio.Event()
    for sig in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(sig, stop.set)
    await stop.wait()
    server.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    asyncio.run(serve(parser.parse_args().port))


if __name__ == "__main__":
    sys.exit(main())
