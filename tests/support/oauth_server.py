#!/usr/bin/python3
"""A fake OAuth 2.0 authorization server for the tests (standard library only).

Listens on 127.0.0.1:PORT (0: a free one) and prints "READY <port>".

GET  /authorize   checks client_id, S256 code_challenge and redirect_uri on
                  127.0.0.1, then redirects to redirect_uri?code=..&state=..
                  (the state as given, or --wrong-state's "forged").
POST /token       authorization_code: the code once, with the PKCE verifier,
                  redirect_uri and client_id it was issued for;
                  refresh_token: a live refresh token. Access tokens are
                  --token-length characters long and live --ttl seconds; with
                  --rotate every refresh issues a new refresh token and
                  revokes the old one. Answers 400 invalid_grant otherwise.
POST /introspect  (Dovecot's oauth2 passdb, the SMTP server) {"active": true,
                  "username": USER} for a live access token.
POST /control     action=revoke (every grant dies), action=expire (every
                  access token dies at the server, unknown to the client).
GET  /stats       {"codes": n, "refreshes": n, "rotations": n}.
"""
import argparse
import base64
import hashlib
import http.server
import json
import secrets
import time
import urllib.parse

state = {"codes": {}, "refresh": {}, "access": {}, "stats": {"codes": 0, "refreshes": 0, "rotations": 0}}


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        pass

    def reply(self, code, body, headers=()):
        data = json.dumps(body).encode() if body is not None else b""
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def form(self):
        n = int(self.headers.get("Content-Length", "0"))
        return {k: v[0] for k, v in urllib.parse.parse_qs(self.rfile.read(n).decode(), keep_blank_values=True).items()}

    def issue(self, client_id):
        a = self.server.opts
        access = ("at-" + secrets.token_hex(a.token_length))[: a.token_length]
        state["access"][access] = time.time() + a.ttl
        refresh = "rt-" + secrets.token_hex(16)
        state["refresh"][refresh] = client_id
        body = {"access_token": access, "token_type": "Bearer", "expires_in": a.ttl, "refresh_token": refresh,
                "scope": a.scope}
        claims = b64url(json.dumps({"email": a.email, "sub": a.user}).encode())
        body["id_token"] = "eyJhbGciOiJub25lIn0." + claims + "."
        return body

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        a = self.server.opts
        if url.path == "/stats":
            return self.reply(200, state["stats"])
        if url.path != "/authorize":
            return self.reply(404, None)
        redirect = q.get("redirect_uri", "")
        if (q.get("client_id") != a.client_id or q.get("response_type") != "code"
                or q.get("code_challenge_method") != "S256" or not q.get("code_challenge")
                or not redirect.startswith("http://127.0.0.1:")):
            return self.reply(400, {"error": "invalid_request"})
        code = secrets.token_hex(8)
        state["codes"][code] = (q["code_challenge"], redirect, q["client_id"])
        back = redirect + "?" + urllib.parse.urlencode(
            {"code": code, "state": "forged" if a.wrong_state else q.get("state", "")})
        self.reply(302, None, [("Location", back)])

    def do_POST(self):
        a = self.server.opts
        f = self.form()
        if self.path == "/stats":
            return self.reply(200, state["stats"])
        if self.path == "/control":
            if f.get("action") == "revoke":
                state["refresh"].clear()
                state["access"].clear()
            elif f.get("action") == "expire":
                state["access"].clear()
            return self.reply(200, {})
        if self.path == "/introspect":
            expiry = state["access"].get(f.get("token", ""))
            if expiry and expiry > time.time():
                return self.reply(200, {"active": True, "username": a.user})
            return self.reply(200, {"active": False})
        if self.path != "/token":
            return self.reply(404, None)
        bad = {"error": "invalid_grant", "error_description": "grant unknown, used or revoked"}
        if f.get("client_id") != a.client_id:
            return self.reply(401, {"error": "invalid_client"})
        if f.get("grant_type") == "authorization_code":
            issued = state["codes"].pop(f.get("code", ""), None)
            if not issued:
                return self.reply(400, bad)
            challenge, redirect, client = issued
            verifier = f.get("code_verifier", "")
            if b64url(hashlib.sha256(verifier.encode()).digest()) != challenge or f.get("redirect_uri") != redirect:
                return self.reply(400, {"error": "invalid_grant", "error_description": "PKCE verifier or redirect"})
            state["stats"]["codes"] += 1
            return self.reply(200, self.issue(client))
        if f.get("grant_type") == "refresh_token":
            token = f.get("refresh_token", "")
            if token not in state["refresh"]:
                return self.reply(400, bad)
            state["stats"]["refreshes"] += 1
            body = self.issue(f["client_id"])
            if a.rotate:
                del state["refresh"][token]
                state["stats"]["rotations"] += 1
            else:
                del state["refresh"][body["refresh_token"]]
                del body["refresh_token"]
            return self.reply(200, body)
        return self.reply(400, {"error": "unsupported_grant_type"})


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--client-id", default="test-client")
    p.add_argument("--user", default="alice")
    p.add_argument("--email", default="alice@home.test")
    p.add_argument("--scope", default="mail")
    p.add_argument("--ttl", type=int, default=3600)
    p.add_argument("--token-length", type=int, default=300)
    p.add_argument("--rotate", action="store_true")
    p.add_argument("--wrong-state", action="store_true")
    a = p.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", a.port), Handler)
    server.opts = a
    print("READY %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
