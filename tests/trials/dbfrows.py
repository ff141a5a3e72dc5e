#!/usr/bin/python3
"""The live records of a .DBF as an independent reader finds them.

    dbfrows.py FILE [FIELD ...]

One line per record that is not marked deleted, in record order, up to the
count in the header: the named fields (all when none are named) as stored,
trailing blanks removed, joined by '|'. Written from the file format alone,
with nothing but the standard library, and reading the file as it lies:
nothing of ours reads or repairs it first. Exits 2, naming what is wrong,
when the file does not read as a table (a header that lies, records missing
that the header counts, a record whose flag is neither live nor deleted).
"""
import struct
import sys


def fields_of(data, headerlen):
    """(name, length) of each field descriptor, in order."""
    out = []
    at = 32
    while at + 32 <= headerlen and data[at] != 0x0D:
        name = data[at : at + 11].split(b"\0", 1)[0].decode("ascii", "replace").upper()
        out.append((name, data[at + 16]))
        at += 32
    if at >= len(data) or data[at] != 0x0D:
        raise ValueError("the field list has no end mark within the header")
    return out


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    path, wanted = sys.argv[1], [f.upper() for f in sys.argv[2:]]
    try:
        with open(path, "rb") as f:
            data = f.read()
        if len(data) < 32:
            raise ValueError("shorter than a header")
        numrecords, headerlen, recordlen = struct.unpack_from("<IHH", data, 4)
        if headerlen > len(data):
            raise ValueError("the header says it is %d bytes, the file is %d" % (headerlen, len(data)))
        spans, at = {}, 1
        for name, length in fields_of(data, headerlen):
            spans[name] = (at, at + length)
            at += length
        if at != recordlen:
            raise ValueError("the fields make %d bytes a record, the header %d" % (at, recordlen))
        names = wanted or list(spans)
        missing = [f for f in names if f not in spans]
        if missing:
            raise ValueError("no field " + ", ".join(missing))
        if len(data) < headerlen + numrecords * recordlen:
            raise ValueError("the header counts %d records, the file holds fewer" % numrecords)
        out = []
        for n in range(numrecords):
            rec = data[headerlen + n * recordlen : headerlen + (n + 1) * recordlen]
            if rec[0:1] == b"*":
                continue
            if rec[0:1] != b" ":
                raise ValueError("record %d has the flag %r" % (n + 1, rec[0:1]))
            out.append("|".join(rec[a:b].decode("cp1252", "replace").rstrip() for a, b in (spans[f] for f in names)))
        sys.stdout.write("".join(line + "\n" for line in out))
    except (OSError, ValueError, struct.error) as e:
        sys.stderr.write("%s: %s\n" % (path, e))
        sys.exit(2)


main()
