# An SMTP server on a free loopback port for the mail tests. Prints "port N" once it listens,
# refuses recipients whose local part starts with "refused", and writes each message it accepts
# to DIR/N.txt as "key=value" lines, decoded by Python's email package so that the test judges
# the message with a reader independent of the code that wrote it.
import asyncio
import email
import email.policy
import os
import sys

from aiosmtpd.smtp import SMTP


def escape(text):
    return text.replace("\\", "\\\\").replace("\r\n", "\\n").replace("\n", "\\n")


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, options):
        if address.split("@")[0].startswith("refused"):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        out = ["mail_from=" + envelope.mail_from, "rcpt=" + " ".join(envelope.rcpt_tos)]
        for name in ("From", "Sender", "To", "Cc", "Bcc", "Reply-To", "Subject", "MIME-Version"):
            if msg[name] is not None:
                out.append("%s=%s" % (name.lower(), msg[name]))
        out.append("date_parsed=%s" % (msg["Date"] is not None and msg["Date"].datetime is not None))
        out.append("message_id=%s" % msg["Message-ID"].startswith("<"))
        out.append("longest_line=%d" % max(len(line) for line in raw.split(b"\r\n")))
        for i, part in enumerate(msg.walk()):
            out.append("part%d=%s" % (i, part.get_content_type()))
            if part.is_multipart():
                continue
            payload = part.get_payload(decode=True)
            out.append("part%d.charset=%s" % (i, part.get_content_charset()))
            out.append("part%d.encoding=%s" % (i, part["Content-Transfer-Encoding"]))
            if part.get_filename():
                out.append("part%d.filename=%s" % (i, part.get_filename()))
            out.append("part%d.hex=%s" % (i, payload.hex()))
            if part.get_content_maintype() == "text":
                out.append("part%d.text=%s" % (i, escape(payload.decode(part.get_content_charset() or "ascii"))))
        self.count += 1
        name = os.path.join(self.folder, "%d.txt" % self.count)
        with open(name + ".tmp", "w", encoding="utf-8") as f:
            f.write("\n".join(out) + "\n")
        os.rename(name + ".tmp", name)
        return "250 Message accepted"


async def main(folder):
    loop = asyncio.get_running_loop()
    sink = Sink(folder)
    server = await loop.create_server(lambda: SMTP(sink), "127.0.0.1", 0)
    print("port %d" % server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main(sys.argv[1]))
