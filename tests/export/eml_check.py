"""Reads .eml files with Python's e-mail package and compares each decoded
subject, plain-text and HTML part with what the test expects, and the length
of each header line that holds an encoded word. Usage: eml_check.py
EXPECTED_JSON (a list of {"file", "subject", "text", "html", "unsent"}).
Exit status 1 on the first mismatch."""
import email
import email.policy
import json
import sys

with open(sys.argv[1], encoding="utf-8") as f:
    expected = json.load(f)

for case in expected:
    with open(case["file"], "rb") as f:
        raw = f.read()
    message = email.message_from_bytes(raw, policy=email.policy.default)
    # RFC 2047: a header line holding an encoded word is at most 76 characters.
    for line in raw.split(b"\r\n\r\n", 1)[0].split(b"\r\n"):
        if b"=?" in line and len(line) > 76:
            sys.exit(f"{case['file']}: header line of {len(line)} characters: {line!r}")
    if message.defects:
        sys.exit(f"{case['file']}: defects {message.defects}")
    subject = str(message["subject"])
    if subject != case["subject"]:
        sys.exit(f"{case['file']}: subject {subject!r} != {case['subject']!r}")
    if message.get_content_type() != "multipart/alternative":
        sys.exit(f"{case['file']}: content type {message.get_content_type()}")
    parts = [part.get_content_type() for part in message.iter_parts()]
    if parts != ["text/plain", "text/html"]:
        sys.exit(f"{case['file']}: parts {parts}")
    # The transport's line breaks are CRLF; each part ends with one.
    for kind in ("plain", "html"):
        want = case["text" if kind == "plain" else "html"] + "\n"
        got = message.get_body(preferencelist=(kind,)).get_content().replace("\r\n", "\n")
        if got != want:
            sys.exit(f"{case['file']}: {kind} part {got!r} != {want!r}")
    if (message["X-Unsent"] == "1") != case["unsent"]:
        sys.exit(f"{case['file']}: X-Unsent {message['X-Unsent']!r}")
    for header in ("From", "To", "Date", "Message-ID"):
        if message[header] is None:
            sys.exit(f"{case['file']}: no {header}")
    if message["To"].addresses[0].addr_spec != "ana@example.org":
        sys.exit(f"{case['file']}: To {message['To']!r}")
    sender = message["From"].addresses[0]
    if sender.display_name != 'Jo "JJ" Smith' or sender.addr_spec != "jo@smith.example":
        sys.exit(f"{case['file']}: From {message['From']!r}")

print(f"{len(expected)} messages read")
