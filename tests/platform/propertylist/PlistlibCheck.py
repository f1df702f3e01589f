#!/usr/bin/env python3
"""Our property-list reader and writer against Python's plistlib, over a corpus
made afresh on each run.

  PlistlibCheck.py CORPUS_TOOL

1. Every list our writer makes is read by plistlib as the value written (dates
   in whole seconds); a value the writer refuses is one that plistlib cannot
   write, or cannot read back.
2. Lists plistlib writes (XML and binary), re-encoded in every encoding we read,
   with CR LF and CR line ends, and spoiled with bytes no encoding allows, are
   read by both to the same value or refused by both.
"""
import datetime
import json
import plistlib
import random
import struct
import subprocess
import sys

EPOCH = datetime.datetime(2001, 1, 1)
ENCODINGS = ["ISO-8859-1", "windows-1252", "US-ASCII", "latin1"]


def plain(value):
    """The JSON form of property-list-corpus for a plistlib value."""
    if isinstance(value, bool):
        return {"bool": value}
    if isinstance(value, int):
        return {"integer": str(value)}
    if isinstance(value, float):
        return {"real": "nan" if value != value else struct.pack(">d", value).hex()}
    if isinstance(value, str):
        return {"string": value}
    if isinstance(value, bytes):
        return {"data": value.hex()}
    if isinstance(value, datetime.datetime):
        seconds = (value - EPOCH).total_seconds()
        return {"date": str(int(seconds)) if seconds == int(seconds) else repr(seconds)}
    if isinstance(value, list):
        return {"array": [plain(item) for item in value]}
    if isinstance(value, dict):
        return {"dict": [[key, plain(item)] for key, item in value.items()]}
    raise TypeError(type(value))


def native(form):
    """The plistlib value of a JSON form."""
    (kind, content), = form.items()
    if kind == "array":
        return [native(item) for item in content]
    if kind == "dict":
        return {key: native(item) for key, item in content}
    if kind == "real":
        return float("nan") if content == "nan" else struct.unpack(">d", bytes.fromhex(content))[0]
    if kind == "date":
        return EPOCH + datetime.timedelta(seconds=int(content))
    return {"bool": bool, "integer": int, "string": str, "data": bytes.fromhex}[kind](content)


def random_value(rng, depth=0):
    kind = rng.randrange(8 if depth < 3 else 6)
    if kind == 0:
        return rng.random() < 0.5
    if kind == 1:
        return rng.choice([rng.randrange(-2**63, 2**64), rng.randrange(-1000, 1000)])
    if kind == 2:
        return rng.choice([0.0, -0.0, 0.1, 1e300, float("inf"), float("-inf"), rng.uniform(-1e6, 1e6)])
    if kind == 3:
        return EPOCH + datetime.timedelta(seconds=rng.randrange(-63113904000, 252423993599))
    if kind == 4:
        return bytes(rng.randrange(256) for _ in range(rng.randrange(30)))
    if kind == 5:
        return random_text(rng)
    if kind == 6:
        return [random_value(rng, depth + 1) for _ in range(rng.randrange(5))]
    return {random_text(rng): random_value(rng, depth + 1) for _ in range(rng.randrange(5))}


def random_text(rng):
    characters = "aZ0 <>&\"']\t\n\ré€\U0001F514\ufffd\x85\u2028ÿŸ"
    return "".join(rng.choice(characters) for _ in range(rng.randrange(10)))


def plistlib_reading(data):
    try:
        return plain(plistlib.loads(data))
    except Exception:
        return None


def variants(value, rng):
    """(name, bytes) of one value as plistlib writes it, and spoiled."""
    xml = plistlib.dumps(value, fmt=plistlib.FMT_XML)
    yield "utf-8", xml
    yield "binary", plistlib.dumps(value, fmt=plistlib.FMT_BINARY)
    text = xml.decode("utf-8")
    yield "crlf", text.replace("\n", "\r\n").encode("utf-8")
    yield "cr", text.replace("\n", "\r").encode("utf-8")
    yield "utf-16", text.replace('encoding="UTF-8"', 'encoding="UTF-16"').encode("utf-16")
    yield "utf-16-be", ("\ufeff" + text.replace('encoding="UTF-8"', 'encoding="UTF-16"')).encode("utf-16-be")
    for encoding in ENCODINGS:
        declared = text.replace('encoding="UTF-8"', 'encoding="%s"' % encoding)
        yield encoding, declared.encode(encoding, errors="xmlcharrefreplace")
    # Bytes that are not UTF-8, and a control character XML does not allow.
    at = xml.rfind(b"</")
    for spoil in [b"\xff", b"\xc3", b"\xed\xa0\x80", b"\xc0\xaf", b"\x01"]:
        yield "spoiled", xml[:at] + spoil + xml[at:]
    if "é" in text:
        yield "windows-1252 undefined", text.replace('encoding="UTF-8"', 'encoding="windows-1252"').replace(
            "é", "\x81").encode("latin-1", errors="xmlcharrefreplace")


def lines_of(command, given=b""):
    output = subprocess.run(command, input=given, capture_output=True, check=True).stdout.decode("utf-8")
    # Split at line feeds only: a string may hold U+2028.
    return [json.loads(line) for line in output.rstrip("\n").split("\n")]


def main():
    tool = sys.argv[1]
    failures = []
    # 1. Our writer, plistlib reading.
    written = refused = 0
    for i, line in enumerate(lines_of([tool, "write", "400", "19"])):
        expected = line["value"]
        if line["plist"] is not None:
            written += 1
            read = plistlib_reading(line["plist"].encode("utf-8"))
            if read != expected:
                failures.append("value %d: plistlib reads %s, written was %s" % (i, read, expected))
            continue
        refused += 1
        try:
            if plistlib_reading(plistlib.dumps(native(expected))) is not None:
                failures.append("value %d: refused by our writer, but plistlib writes and reads it" % i)
        except (ValueError, TypeError, OverflowError):
            pass
    if refused == 0 or written < 200:
        failures.append("the corpus should hold both: %d written, %d refused" % (written, refused))

    # 2. plistlib's lists, both readers.
    rng = random.Random(19)
    lists = []
    for i in range(150):
        value = random_value(rng) if i else {"isEnabled": True, "selectedIncreaseSound": "Glöckchen"}
        lists.extend(variants(value, rng))
    given = b"".join(b"%d\n%s" % (len(data), data) for _, data in lists)
    readings = lines_of([tool, "read"], given)
    if len(readings) != len(lists):
        failures.append("ours read %d lists of %d" % (len(readings), len(lists)))
    agreed = refused_by_both = 0
    for n, ((name, data), ours) in enumerate(zip(lists, readings)):
        theirs = plistlib_reading(data)
        if theirs is None and "refused" in ours:
            refused_by_both += 1
        elif theirs is not None and ours.get("value") == theirs:
            agreed += 1
        else:
            failures.append("list %d (%s) %r: plistlib reads %s, ours %s" % (n, name, data[:300], theirs, ours))

    for failure in failures[:20]:
        print(failure)
    print("%d written lists read by plistlib, %d refused by both writers; %d lists read alike, %d refused by both, "
          "%d differences" % (written, refused, agreed, refused_by_both, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
