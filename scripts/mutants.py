#!/usr/bin/env python3
"""Reads the mutant list for scripts/mutate and applies one mutant's edit.

  mutants.py list LIST [ID...]   one line per mutant: id, file, hint tests, equivalent (0/1),
                                 tab-separated; unknown ids fail
  mutants.py apply LIST ID       edits the mutant's file in place; exits 3, touching nothing,
                                 when the edit does not apply exactly once or changes nothing
  mutants.py describe LIST ID    the mutant's fault in words, and why it is equivalent if so
  mutants.py check LIST          whether every edit would apply, touching nothing
"""

import re
import sys

HEADER = re.compile(r"^\[([A-Za-z0-9._-]+)\]\s+(\S+)((?:\s+\S+)*)\s*$")


class Mutant:
    def __init__(self, ident, path, hints, line):
        self.ident, self.path, self.hints, self.line = ident, path, hints, line
        self.words = []
        self.old, self.new = [], []
        self.equivalent = ""


def fail(message):
    print(f"mutants: {message}", file=sys.stderr)
    sys.exit(2)


def read(list_path):
    mutants, current = [], None
    with open(list_path, encoding="utf-8") as stream:
        for number, raw in enumerate(stream, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                current = None
                continue
            header = HEADER.match(line)
            if header:
                current = Mutant(header[1], header[2], header[3].split(), number)
                mutants.append(current)
            elif current is None:
                fail(f"{list_path}:{number}: text outside a mutant block")
            elif line.startswith("- ") or line == "-":
                current.old.append(line[2:])
            elif line.startswith("+ ") or line == "+":
                current.new.append(line[2:])
            elif line.strip().startswith("equivalent:"):
                reason = line.strip()[len("equivalent:"):].strip()
                current.equivalent = f"{current.equivalent} {reason}".strip()
            else:
                current.words.append(line.strip())
    seen = set()
    for m in mutants:
        if m.ident in seen:
            fail(f"{list_path}:{m.line}: id {m.ident} twice")
        seen.add(m.ident)
        if not m.old:
            fail(f"{list_path}:{m.line}: {m.ident} has no '-' line")
    return mutants


def find(mutants, ident):
    for m in mutants:
        if m.ident == ident:
            return m
    fail(f"no mutant {ident}")


# The file's text with the mutant's edit made, or None when it does not apply.
def edited(m):
    old, new = "\n".join(m.old), "\n".join(m.new)
    try:
        with open(m.path, encoding="utf-8") as stream:
            text = stream.read()
    except OSError as error:
        print(f"{m.ident}: {error}", file=sys.stderr)
        return None
    count = text.count(old)
    if count != 1 or old == new:
        why = "changes nothing" if old == new else f"old text found {count} times"
        print(f"{m.ident}: {why} in {m.path}", file=sys.stderr)
        return None
    return text.replace(old, new, 1)


def main(argv):
    if len(argv) < 3:
        fail(__doc__.strip())
    command, list_path = argv[1], argv[2]
    mutants = read(list_path)
    if command == "list":
        chosen = [find(mutants, i) for i in argv[3:]] or mutants
        for m in chosen:
            print("\t".join([m.ident, m.path, ",".join(m.hints), "1" if m.equivalent else "0"]))
    elif command == "describe":
        m = find(mutants, argv[3])
        print(" ".join(m.words))
        if m.equivalent:
            print(f"equivalent: {m.equivalent}")
    elif command == "apply":
        m = find(mutants, argv[3])
        mutated = edited(m)
        if mutated is None:
            sys.exit(3)
        with open(m.path, "w", encoding="utf-8") as stream:
            stream.write(mutated)
    elif command == "check":
        bad = [m.ident for m in mutants if edited(m) is None]
        print(f"{len(mutants)} mutants, {len(bad)} do not apply")
        sys.exit(3 if bad else 0)
    else:
        fail(f"unknown command {command}")


if __name__ == "__main__":
    main(sys.argv)
