"""Reads .eml files with Python's e-mail package and compares each decoded
subject and HTML body with what the test expects, and the length of each
header line that holds an encoded word. Usage: eml_check.py EXPECTED_JSON
(a list of {"file", "subject", "html"}). Exit status 1 on the first mismatch."""
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
    if message.get_content_type() != "text/html":
        sys.exit(f"{case['file']}: content type {message.get_content_type()}")
    # The transport's line breaks are CRLF; the message ends with one.
    html = message.get_content().replace("\r\n", "\n")
    if html != case["html"] + "\n":
        sys.exit(f"{case['file']}: body {html!r} != {case['html']!r}")
    for header in ("From", "To", "Date", "Message-ID"):
        if message[header] is None:
            sys.exit(f"{case['file']}: no {header}")
    if message["To"].addresses[0].addr_spec != "ana@example.org":
        sys.exit(f"{case['file']}: To {message['To']!r}")
    if message["From"].addresses[0].display_name != 'Jo "JJ" Smith':
        sys.exit(f"{case['file']}: From {message['From']!r}")

print(f"{len(expected)} messages read")
