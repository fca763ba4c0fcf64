"""A real SMTP server for the tests: aiosmtpd on 127.0.0.1 at a port the
system picks, printed on the first line of standard output.

AUTH LOGIN and PLAIN are offered over plain text and accept one login and
password; others get 535. With --tls starttls (and --cert, --key) the server
offers STARTTLS, requires it before anything else and offers AUTH only after
it; --inject adds bytes to the write of the 220 reply to STARTTLS, as an
attacker in between would. With --tls implicit it speaks TLS from the first
byte. Recipients named with --refuse get 550. Each letter
received becomes three files in --folder, written whole and then renamed:
N.meta (lines "from <addr>", "rcpt <addr>", "login <login>", "login-tls <TLS
version in force at the login>"), N.eml (the data
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
import ssl
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
    parser.add_argument("--tls", choices=["none", "starttls", "implicit"], default="none")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--inject", default="")
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
        if getattr(session, "login_tls", None):
            meta.append(f"login-tls {session.login_tls}\n")
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
        secure = server.transport.get_extra_info("ssl_object")
        session.login_tls = secure.version() if secure is not None else None
        return AuthResult(success=good, handled=False, auth_data=auth_data if good else None)

    return authenticate


class Server(SMTP):
    """aiosmtpd's server, able to add bytes to its reply to STARTTLS."""

    def __init__(self, *args, inject=b"", **kwargs):
        super().__init__(*args, **kwargs)
        self.inject = inject

    async def push(self, status):
        if self.inject and status == "220 Ready to start TLS":
            self._writer.write(status.encode("ascii") + b"\r\n" + self.inject)
            return
        await super().push(status)


def tls_context(arguments):
    if arguments.tls == "none":
        return None
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(arguments.cert, arguments.key)
    return context


async def serve(arguments):
    loop = asyncio.get_running_loop()
    recorder = Recorder(arguments.folder, arguments.refuse)
    authenticator = make_authenticator(arguments.login, arguments.password)
    context = tls_context(arguments)
    starttls = arguments.tls == "starttls"
    server = await loop.create_server(
        lambda: Server(
            recorder,
            hostname="aiosmtpd.test",
            auth_require_tls=starttls,
            authenticator=authenticator,
            timeout=60,
            tls_context=context if starttls else None,
            require_starttls=starttls,
            inject=arguments.inject.encode("latin-1"),
        ),
        host="127.0.0.1",
        port=0,
        ssl=context if arguments.tls == "implicit" else None,
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    stop = loop.create_future()
    loop.add_signal_handler(signal.SIGTERM, stop.set_result, None)
    await stop
    server.close()


if __name__ == "__main__":
    asyncio.run(serve(parse_arguments()))
    sys.exit(0)
