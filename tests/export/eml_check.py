"""Reads .eml files with Python's e-mail package and compares each decoded
subject and HTML body with what the test expects. Usage: eml_check.py EXPECTED_JSON
(a list of {"file", "subject", "html"}). Exit status 1 on the first mismatch."""
import email
import email.policy
import json
import sys

with open(sys.argv[1], encoding="utf-8") as f:
    expected = json.load(f)

for case in expected:
    with open(case["file"], "rb") as f:
        message = email.message_from_bytes(f.read(), policy=email.policy.default)
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
