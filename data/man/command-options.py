#!/usr/bin/env python3
"""Writes the help2man include that gives shelvix-tool's manual page every
command's options, read from `shelvix-tool COMMAND --help`.

Usage: command-options.py SHELVIX_TOOL OUT.h2m
"""
import re
import subprocess
import sys


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, check=True).stdout


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    # A line may not start with a control character.
    return re.sub(r"^([.'])", r"\\&\1", text, flags=re.M)


def main():
    tool, out = sys.argv[1], sys.argv[2]
    commands = re.findall(r"^  ([a-z]+)[ \n]", run(tool, "--help"), re.M)
    if not commands:
        sys.exit("no commands in shelvix-tool --help")
    page = ["[COMMANDS IN FULL]"]
    for command in commands:
        head, _, options = run(tool, command, "--help").partition("\nOptions:\n")
        lines = head.splitlines()
        usage = [lines[0].removeprefix("Usage: shelvix-tool ")]
        rest = lines[1:]
        while rest and rest[0].startswith(" "):
            usage.append(rest.pop(0).strip())
        page.append('.SS "%s"' % roff(" ".join(usage)).replace('"', '""'))
        page.append(roff(" ".join(rest)))
        # Rows: "  --name VALUE  help", the help continuing in a deeper column.
        rows = []
        for line in options.splitlines():
            match = re.match(r"^  (\S(?:.*?\S)?)(?:  +(\S.*))?$", line)
            if match and not line.startswith("   "):
                rows.append([match.group(1), match.group(2) or ""])
            elif rows:
                rows[-1][1] = (rows[-1][1] + " " + line.strip()).strip()
        for use, help_text in rows:
            if use == "-h, --help":
                continue
            page += [".TP", "\\fB%s\\fR" % roff(use), roff(help_text)]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(page) + "\n")


main()
