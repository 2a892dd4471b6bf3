#!/usr/bin/python3
"""A throwaway SMTP server for the tests (aiosmtpd).

Listens on HOST:PORT (port 0: a free one) and prints "READY <port>" once it
accepts connections. Every message is saved in SPOOL as NNNN.data (the DATA
bytes, dots unstuffed, the final "." line removed) and then NNNN.env (line 1
the MAIL FROM address, then one RCPT TO address per line), written last by a
rename so that a reader sees whole messages only.

Options: --auth USER:PASSWORD offers and requires AUTH LOGIN; --refuse ADDR
answers RCPT TO for ADDR with 550 (repeatable); --silent-after-mail-from
answers MAIL FROM and then never replies again; --starttls CERT:KEY offers
STARTTLS and requires it before AUTH and MAIL, --implicit-tls CERT:KEY speaks
TLS from the first byte; --plain-only offers AUTH PLAIN and not LOGIN;
--oauth URL offers XOAUTH2 and OAUTHBEARER (or those of --oauth-mechanisms)
and validates the bearer token at that introspection endpoint (refusals
answer with the JSON error challenge, as the big providers do). Beside
each message NNNN.meta holds "1" or "0" (over TLS or not), a blank and the
user name it was sent with.
"""
import argparse
import asyncio
import base64
import json
import urllib.parse
import urllib.request
import os
import signal
import socket
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


class Handler:
    def __init__(self, spool, refused, silent):
        self.spool = spool
        self.refused = set(refused)
        self.silent = silent
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.silent:
            await asyncio.Event().wait()
        if address in self.refused:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.spool, "%04d" % self.count)
        with open(base + ".data", "wb") as f:
            f.write(envelope.original_content)
        # STARTTLS sets session.ssl; implicit TLS shows only on the transport.
        tls = bool(session.ssl) or server.transport.get_extra_info("ssl_object") is not None
        login = session.auth_data.login.decode() if session.auth_data is not None else ""
        with open(base + ".meta", "w") as f:
            f.write("%d %s" % (tls, login))
        with open(base + ".tmp", "w") as f:
            f.write(envelope.mail_from + "\n")
            for rcpt in envelope.rcpt_tos:
                f.write(rcpt + "\n")
        os.rename(base + ".tmp", base + ".env")
        return "250 2.0.0 OK"


class OAuthData:
    def __init__(self, login):
        self.login = login


def oauth_methods(handler, introspect, mechanisms):
    """Adds auth_XOAUTH2 and auth_OAUTHBEARER, those of `mechanisms`, to the handler's class."""

    def check(token):
        body = urllib.parse.urlencode({"token": token}).encode()
        with urllib.request.urlopen(introspect, body, timeout=5) as r:
            answer = json.load(r)
        return answer.get("username") if answer.get("active") else None

    async def bearer(server, args, parse):
        blob = base64.b64decode(args[1]) if len(args) > 1 else await server.challenge_auth("")
        if not isinstance(blob, bytes):
            return AuthResult(success=False, handled=True)
        user, token = parse(blob)
        if token and check(token) is not None:
            return AuthResult(success=True, auth_data=OAuthData(user))
        error = json.dumps({"status": "401", "schemes": "bearer", "scope": "mail"})
        await server.challenge_auth(error)  # the client's dummy answer ends it
        return AuthResult(success=False, handled=False, message="535 5.7.8 Authentication credentials invalid")

    def fields(blob):
        out = {}
        for part in blob.split(b"\x01"):
            if b"=" in part:
                k, v = part.split(b"=", 1)
                out[k] = v
        return out

    def xoauth2(blob):
        f = fields(blob)
        return f.get(b"user", b""), f.get(b"auth", b"")[len(b"Bearer "):].decode()

    def oauthbearer(blob):
        head, _, rest = blob.partition(b"\x01")
        user = head.split(b",")[1][2:] if head.count(b",") >= 2 else b""
        return user, fields(rest).get(b"auth", b"")[len(b"Bearer "):].decode()

    async def auth_XOAUTH2(self, server, args):
        return await bearer(server, args, xoauth2)

    async def auth_OAUTHBEARER(self, server, args):
        return await bearer(server, args, oauthbearer)

    if "XOAUTH2" in mechanisms:
        type(handler).auth_XOAUTH2 = auth_XOAUTH2
    if "OAUTHBEARER" in mechanisms:
        type(handler).auth_OAUTHBEARER = auth_OAUTHBEARER


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--spool", required=True)
    p.add_argument("--auth")
    p.add_argument("--refuse", action="append", default=[])
    p.add_argument("--silent-after-mail-from", action="store_true")
    p.add_argument("--starttls")
    p.add_argument("--implicit-tls")
    p.add_argument("--plain-only", action="store_true")
    p.add_argument("--oauth")
    p.add_argument("--oauth-mechanisms", default="XOAUTH2 OAUTHBEARER")
    a = p.parse_args()

    kwargs = {}
    if a.auth:
        user, password = a.auth.split(":", 1)

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = auth_data.login == user.encode() and auth_data.password == password.encode()
            return AuthResult(success=ok, handled=False, auth_data=auth_data)

        # aiosmtpd cannot see implicit TLS: AUTH must not wait for STARTTLS there.
        kwargs = dict(authenticator=authenticator, auth_required=True, auth_require_tls=bool(a.starttls))
        if a.plain_only:
            kwargs["auth_exclude_mechanism"] = ["LOGIN"]

    context = None
    if a.starttls or a.implicit_tls:
        cert, key = (a.starttls or a.implicit_tls).split(":", 1)
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
    if a.starttls:
        kwargs.update(tls_context=context, require_starttls=True)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((a.host, a.port))
    sock.listen(16)
    handler = Handler(a.spool, a.refuse, a.silent_after_mail_from)
    if a.oauth:
        oauth_methods(handler, a.oauth, a.oauth_mechanisms.split())
    server = loop.run_until_complete(loop.create_server(
        lambda: SMTP(handler, decode_data=False, hostname="fixture.test", **kwargs), sock=sock,
        ssl=context if a.implicit_tls else None))
    loop.add_signal_handler(signal.SIGTERM, loop.stop)
    print("READY %d" % sock.getsockname()[1], flush=True)
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    main()
