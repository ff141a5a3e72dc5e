#!/usr/bin/env bash
# Seeds a fuzzing corpus from the dBASE fixtures: each input is the 4-byte
# little-endian length of the .DBF, the .DBF, then its .MDX.
#   fuzz/make-corpus.sh FIXTURES_DIR CORPUS_DIR
set -euo pipefail
src=${1:?fixtures dir}
out=${2:?corpus dir}
mkdir -p "$out"
find "$src" -iname '*.dbf' | while read -r dbf; do
    mdx="${dbf%.*}.MDX"
    name=$(basename "${dbf%.*}")
    /usr/bin/python3 - "$dbf" "$mdx" "$out/$name" <<'PY'
import os, struct, sys
dbf = open(sys.argv[1], "rb").read()
mdx = open(sys.argv[2], "rb").read() if os.path.exists(sys.argv[2]) else b""
open(sys.argv[3], "wb").write(struct.pack("<I", len(dbf)) + dbf + mdx)
PY
done
