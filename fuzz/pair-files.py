#!/usr/bin/env python3
"""Writes a .DBF and its .MDX (or the companion named, if any) as one fuzz
input: the layout of fuzzsupport.h (4 bytes of little-endian length, the
table, the companion), after an optional prefix byte.
    fuzz/pair-files.py TABLE.DBF OUT [PREFIX_BYTE] [COMPANION_EXT]"""
import os
import struct
import sys

dbf = open(sys.argv[1], "rb").read()
stem = os.path.splitext(sys.argv[1])[0]
mdx = b""
companion = sys.argv[4] if len(sys.argv) > 4 else ".MDX"
for ext in (companion.upper(), companion.lower()):
    if os.path.exists(stem + ext):
        mdx = open(stem + ext, "rb").read()
        break
prefix = bytes([int(sys.argv[3])]) if len(sys.argv) > 3 and sys.argv[3] else b""
with open(sys.argv[2], "wb") as out:
    out.write(prefix + struct.pack("<I", len(dbf)) + dbf + mdx)
