"""A real SMTP server for the tests: aiosmtpd on 127.0.0.1 at a port the
system picks, printed on the first line of standard output.

AUTH LOGIN and PLAIN are offered over plain text and accept one login and
password; others get 535. Recipients named with --refuse get 550. Each letter
received becomes three files in --folder, written whole and then renamed:
N.meta (lines "from <addr>", "rcpt <addr>", "login <login>"), N.eml (the data
bytes as received, dots unstuffed) and N.headers (one "Name<TAB>value" line a
header, unfolded and decoded from RFC 2047 by Python's email package, UTF-8).
"""

import argparse
import asyncio
import email
import email.header
import email.policy
import os
import signal
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


# aiosmtpd itself still sets the deprecated Session.login_data after a login.
warnings.filterwarnings("ignore", message="Session.login_data is deprecated")


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--folder", required=True)
    parser.add_argument("--login", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--refuse", action="append", default=[])
    return parser.parse_args()


def write_whole(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def decoded_headers(data):
    message = email.message_from_bytes(data, policy=email.policy.compat32)
    lines = []
    for name, value in message.items():
        unfolded = value.replace("\r\n", "").replace("\n", "")
        text = str(email.header.make_header(email.header.decode_header(unfolded)))
        lines.append(f"{name}\t{text}\n")
    return "".join(lines).encode("utf-8")


class Recorder:
    def __init__(self, folder, refused):
        self.folder = folder
        self.refused = {address.lower() for address in refused}
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        meta = [f"from {envelope.mail_from}\n"]
        meta += [f"rcpt {address}\n" for address in envelope.rcpt_tos]
        if isinstance(session.auth_data, LoginPassword):
            meta.append(f"login {session.auth_data.login.decode('latin-1')}\n")
        data = envelope.original_content or envelope.content
        write_whole(base + ".eml", data)
        write_whole(base + ".headers", decoded_headers(data))
        write_whole(base + ".meta", "".join(meta).encode("latin-1"))
        return "250 Message accepted for delivery"


def make_authenticator(login, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        good = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login == login.encode("latin-1")
            and auth_data.password == password.encode("latin-1")
        )
        return AuthResult(success=good, handled=False, auth_data=auth_data if good else None)

    return authenticate


async def serve(arguments):
    loop = asyncio.get_running_loop()
    recorder = Recorder(arguments.folder, arguments.refuse)
    authenticator = make_authenticator(arguments.login, arguments.password)
    server = await loop.create_server(
        lambda: SMTP(
            recorder,
            hostname="aiosmtpd.test",
            auth_require_tls=False,
            authenticator=authenticator,
            timeout=60,
        ),
        host="127.0.0.1",
        port=0,
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = loop.create_future()
    loop.add_signal_handler(signal.SIGTERM, stop.set_result, None)
    await stop
    server.close()


if __name__ == "__main__":
    asyncio.run(serve(parse_arguments()))
    sys.exit(0)
