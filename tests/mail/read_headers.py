# Reads a header block with Python's own mail parser and prints, in UTF-8, the
# decoded mailboxes of From and To and the decoded Subject and Organization.
# Encoded words are decoded by email.header.decode_header, which follows
# RFC 2047 section 6.2 (the blanks between adjacent encoded words are not
# text); the phrase parser of policy.default keeps them inside display names.
import sys
from email import policy
from email.header import decode_header, make_header
from email.parser import BytesParser
from email.utils import getaddresses


def decoded(value):
    unfolded = value.replace("\r\n", "").replace("\n", "")
    return str(make_header(decode_header(unfolded)))


with open(sys.argv[1], "rb") as source:
    message = BytesParser(policy=policy.compat32).parse(source)
lines = []
for name in ("From", "To"):
    for display_name, address in getaddresses(message.get_all(name, [])):
        lines.append(f"{name}\t{decoded(display_name)}\t{address}")
for name in ("Subject", "Organization"):
    lines.append(f"{name}\t{decoded(message[name])}")
for defect in message.defects:
    lines.append(f"Defect\t{defect!r}")
sys.stdout.buffer.write(("\n".join(lines) + "\n").encode("utf-8"))
