"""A mail server on 127.0.0.1 for the tests: aiosmtpd requiring TLS (STARTTLS,
or TLS from the first byte with --implicit-tls) and a login with one user name
and password. Each message it accepts is saved as N.eml, and what Python's
email package reads in it as N.json: the envelope, the login, From, To,
Subject, whether it carries X-Unsent, and the text of its body. A recipient
named by --refuse is refused as an unknown user.

Usage: local_smtp_server.py --cert PEM --key PEM --user U --password-file F
       --folder DIR [--implicit-tls] [--refuse ADDRESS]
The port it listens on is written to DIR/port once it accepts connections."""
import argparse
import asyncio
import email
import email.policy
import json
import os
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

parser = argparse.ArgumentParser()
parser.add_argument("--cert", required=True)
parser.add_argument("--key", required=True)
parser.add_argument("--user", required=True)
parser.add_argument("--password-file", required=True)
parser.add_argument("--folder", required=True)
parser.add_argument("--implicit-tls", action="store_true")
parser.add_argument("--refuse", default="")
args = parser.parse_args()

with open(args.password_file, encoding="utf-8") as f:
    password = f.read().strip()


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login.decode() == args.user
          and auth_data.password.decode() == password)
    return AuthResult(success=ok, handled=False, auth_data=auth_data)


class Handler:
    def __init__(self):
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if args.refuse and address.lower() == args.refuse.lower():
            return f"550 5.1.1 <{address}>: Recipient address rejected: User unknown"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content
        base = os.path.join(args.folder, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        message = email.message_from_bytes(raw, policy=email.policy.default)
        body = message.get_body(preferencelist=("plain", "html"))
        sender = message["From"].addresses[0] if message["From"] else None
        summary = {
            "mailFrom": envelope.mail_from,
            "rcptTos": envelope.rcpt_tos,
            "login": session.auth_data.login.decode() if session.auth_data else None,
            "from": sender.addr_spec if sender else None,
            "fromName": sender.display_name if sender else None,
            "to": message["To"].addresses[0].addr_spec if message["To"] else None,
            "subject": str(message["Subject"]),
            "unsent": message["X-Unsent"] is not None,
            "text": body.get_content().replace("\r\n", "\n") if body else None,
            "defects": [str(d) for d in message.defects],
        }
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(summary, f)
        os.replace(base + ".json.tmp", base + ".json")
        return "250 2.0.0 Message accepted for delivery"


async def main():
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)
    handler = Handler()
    loop = asyncio.get_running_loop()

    def protocol():
        # aiosmtpd does not count TLS from the first byte as TLS: the
        # connection is encrypted all the same.
        return SMTP(handler, authenticator=authenticate, auth_required=True,
                    auth_require_tls=not args.implicit_tls,
                    require_starttls=not args.implicit_tls,
                    tls_context=None if args.implicit_tls else context)

    server = await loop.create_server(protocol, "127.0.0.1", 0,
                                      ssl=context if args.implicit_tls else None)
    port = server.sockets[0].getsockname()[1]
    with open(os.path.join(args.folder, "port.tmp"), "w") as f:
        f.write(str(port))
    os.replace(os.path.join(args.folder, "port.tmp"), os.path.join(args.folder, "port"))
    await server.serve_forever()


asyncio.run(main())
