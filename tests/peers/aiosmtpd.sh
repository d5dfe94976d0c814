#!/bin/sh
# Starts a recording SMTP server for tests: aiosmtpd.sh <dir> <plain port> <tls port> <user> <password>.
# Listens on 127.0.0.1: <plain port> without TLS, <tls port> with TLS from the first byte (a throwaway
# certificate made here). AUTH is offered on both and accepts only <user>/<password>; recipients
# starting with "refuse" get 550. Each accepted message is appended to <dir>/messages.jsonl as read
# back by Python's email package; every AUTH attempt goes to <dir>/auth.jsonl. Runs in the foreground.
set -eu
dir=$1
plain_port=$2
tls_port=$3
user=$4
password=$5
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -keyout "$dir/key.pem" -out "$dir/cert.pem" >/dev/null 2>&1
cat > "$dir/server.py" <<'PY'
import asyncio, json, ssl, sys, time
from email import message_from_bytes, policy
from email.utils import parseaddr
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

folder, plain_port, tls_port, user, password = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]

def append(name, record):
    with open(f"{folder}/{name}", "a", encoding="utf-8") as f:
        f.write(json.dumps(record, ensure_ascii=False) + "\n")

def authenticator(server, session, envelope, mechanism, auth_data):
    login = auth_data.login.decode() if isinstance(auth_data, LoginPassword) else ""
    secret = auth_data.password.decode() if isinstance(auth_data, LoginPassword) else ""
    ok = login == user and secret == password
    append("auth.jsonl", {"mechanism": mechanism, "login": login, "success": ok})
    return AuthResult(success=ok, handled=False, auth_data={"mechanism": mechanism, "login": login})

class Recorder:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refuse"):
            return "550 5.1.1 Recipient refused"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        msg = message_from_bytes(raw, policy=policy.default)
        name, address = parseaddr(str(msg["From"]))
        append("messages.jsonl", {
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "auth": session.auth_data if session.authenticated else None,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "from_name": name, "from_address": address,
            "to": str(msg["To"]),
            "subject": str(msg["Subject"]),
            "headers": raw.split(b"\r\n\r\n", 1)[0].decode("utf-8", "replace"),
            "content_type": msg.get_content_type(),
            "charset": msg.get_content_charset(),
            "cte": str(msg["Content-Transfer-Encoding"]),
            "mime_version": str(msg["MIME-Version"]),
            "date": str(msg["Date"]),
            "message_id": str(msg["Message-ID"]),
            "defects": [type(d).__name__ for d in msg.defects],
            "body": msg.get_content(),
        })
        return "250 Message accepted"

kwargs = dict(hostname="127.0.0.1", authenticator=authenticator, auth_require_tls=False,
              decode_data=False)
plain = Controller(Recorder(), port=plain_port, **kwargs)
context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(f"{folder}/cert.pem", f"{folder}/key.pem")
secure = Controller(Recorder(), port=tls_port, ssl_context=context, **kwargs)
plain.start()
secure.start()
try:
    while True:
        time.sleep(3600)
finally:
    plain.stop()
    secure.stop()
PY
exec /usr/bin/python3 -W ignore "$dir/server.py" "$dir" "$plain_port" "$tls_port" "$user" "$password"
