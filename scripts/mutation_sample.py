#!/usr/bin/env python3
"""Single-point mutants of product code, each built and tested; prints what the tests kill.

Called by scripts/mutation-sample.sh, which configures the build. A mutant is one change on
one line: a comparison flipped, a condition negated, an integer constant changed by one, a
call statement dropped, or && and || swapped. Candidates are ordered by a hash of the seed
and their own text, so a mutant keeps its place in the order when other files change. The
first N that compile are tested; one that does not compile is skipped and counted apart.
"""

import argparse
import collections
import hashlib
import os
import re
import signal
import subprocess
import sys
import time

COMPARISON = {"<": ">=", "<=": ">", ">": "<=", ">=": "<", "==": "!=", "!=": "=="}
COMPARISON_RE = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
LOGIC_RE = re.compile(r"(?<=\s)(&&|\|\|)(?=\s)")
INTEGER_RE = re.compile(r"(?<![\w.'])(\d+)(?![\w.'])")
CONDITION_RE = re.compile(r"\b(if|while) \(")
CALL_RE = re.compile(r"^(\s*)(?!return\b|delete\b|throw\b|co_return\b|co_await\b|case\b)"
                     r"[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\s*\(.*\);\s*$")
# Lines whose mutants say nothing about the tests: logging, declarations of categories,
# assertions of the compiler, includes.
SKIP_RE = re.compile(r"^\s*(#|//|\*|/\*)|\bqC(Debug|Info|Warning|Critical)\b|Q_LOGGING_CATEGORY"
                     r"|static_assert|Q_OBJECT|Q_PROPERTY|R\"")


def code_mask(line):
    """The line with string and character literals and a trailing comment blanked out."""
    out = []
    i = 0
    while i < len(line):
        c = line[i]
        if c in "\"'":
            j = i + 1
            while j < len(line) and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(c + " " * (min(j, len(line) - 1) - i - 1) + c if j < len(line) else
                       " " * (len(line) - i))
            i = j + 1
            continue
        if line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        out.append(c)
        i += 1
    return "".join(out)[: len(line)]


def matching_paren(text, open_at):
    depth = 0
    for i in range(open_at, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def candidates_of_line(line):
    """(operator, column, replacement line) for every mutant of one line."""
    if SKIP_RE.search(line) or not line.strip():
        return []
    code = code_mask(line)
    found = []
    for m in COMPARISON_RE.finditer(code):
        found.append(("comparison", m.start(),
                      line[: m.start()] + COMPARISON[m.group(1)] + line[m.end():]))
    for m in LOGIC_RE.finditer(code):
        swapped = "||" if m.group(1) == "&&" else "&&"
        found.append(("logic", m.start(), line[: m.start()] + swapped + line[m.end():]))
    for m in CONDITION_RE.finditer(code):
        open_at = m.end() - 1
        close_at = matching_paren(code, open_at)
        if close_at > open_at:
            inner = line[open_at + 1: close_at]
            found.append(("negation", m.start(),
                          line[: open_at + 1] + "!(" + inner + ")" + line[close_at:]))
    for m in INTEGER_RE.finditer(code):
        value = int(m.group(1))
        found.append(("constant", m.start(),
                      line[: m.start()] + str(value + 1) + line[m.end():]))
    call = CALL_RE.match(code)
    if call and code.count("(") == code.count(")") and " = " not in code:
        found.append(("call", len(call.group(1)), call.group(1) + "{}\n"))
    return found


def all_candidates(root, dirs):
    result = []
    for top in dirs:
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(".cpp"):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root)
                with open(os.path.join(root, path), encoding="utf-8") as f:
                    lines = f.readlines()
                in_block_comment = False
                for number, line in enumerate(lines, 1):
                    if in_block_comment or line.lstrip().startswith("/*"):
                        in_block_comment = "*/" not in line
                        continue
                    for operator, column, mutated in candidates_of_line(line):
                        result.append((path, number, column, operator, line, mutated))
    return result


def order_key(seed, candidate):
    path, _, column, operator, line, mutated = candidate
    text = f"{seed}\0{path}\0{line.strip()}\0{column}\0{operator}\0{mutated.strip()}"
    return hashlib.sha256(text.encode()).hexdigest()


def run(command, timeout, log):
    log.write(f"$ {' '.join(command)}\n")
    log.flush()
    try:
        proc = subprocess.run(command, stdout=log, stderr=subprocess.STDOUT, timeout=timeout,
                              start_new_session=True)
        return proc.returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--count", type=int, default=150)
    parser.add_argument("--seed", default="1")
    parser.add_argument("--dirs", nargs="+", default=["src/core", "src/cloud", "server"])
    parser.add_argument("--test-command", required=True,
                        help="shell command that runs the tests; non-zero exit kills a mutant")
    parser.add_argument("--test-timeout", type=int, default=600)
    parser.add_argument("--targets", nargs="*", default=[],
                        help="the build targets the tests need (all when none are given)")
    args = parser.parse_args()

    candidates = sorted(all_candidates(args.root, args.dirs),
                        key=lambda c: order_key(args.seed, c))
    log_path = os.path.join(args.build, "mutation.log")
    log = open(log_path, "w", encoding="utf-8")
    print(f"{len(candidates)} candidate mutants; testing {args.count} (seed {args.seed}); "
          f"log: {log_path}", flush=True)

    build = ["cmake", "--build", args.build] + (["--target"] + args.targets if args.targets else [])
    restore = {}

    def put_back(*_):
        for path, text in restore.items():
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        restore.clear()

    def interrupted(signum, _):
        put_back()
        sys.exit(128 + signum)

    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)

    per_file = collections.defaultdict(lambda: [0, 0])
    survivors = []
    stillborn = 0
    tested = 0
    started = time.monotonic()
    for path, number, _, operator, line, mutated in candidates:
        if tested >= args.count:
            break
        full = os.path.join(args.root, path)
        with open(full, encoding="utf-8") as f:
            original = f.read()
        lines = original.splitlines(keepends=True)
        lines[number - 1] = mutated
        restore[full] = original
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write("".join(lines))
            log.write(f"\n### {path}:{number} {operator}: {line.strip()} -> {mutated.strip()}\n")
            if run(build, 1800, log) != 0:
                stillborn += 1
                continue
            tested += 1
            outcome = run(["bash", "-c", args.test_command], args.test_timeout, log)
            killed = outcome != 0
            per_file[path][0 if killed else 1] += 1
            if not killed:
                survivors.append(f"{path}:{number} {operator}: {line.strip()}  =>  "
                                 f"{mutated.strip()}")
            print(f"[{tested}/{args.count}] {'killed  ' if killed else 'SURVIVED'} "
                  f"{path}:{number} {operator}", flush=True)
        finally:
            put_back()
    # Leave the build matching the sources again.
    run(["cmake", "--build", args.build], 1800, log)

    total_killed = sum(k for k, _ in per_file.values())
    print(f"\n{'file':<40} {'killed':>7} {'survived':>9}")
    for path in sorted(per_file):
        killed, survived = per_file[path]
        print(f"{path:<40} {killed:>7} {survived:>9}")
    print(f"{'total':<40} {total_killed:>7} {tested - total_killed:>9}")
    print(f"\nkilled {total_killed} of {tested} ({100 * total_killed / max(tested, 1):.0f} %); "
          f"{stillborn} mutants did not compile and were skipped; "
          f"{(time.monotonic() - started) / 60:.0f} min")
    print("\nsurvivors:")
    for s in survivors:
        print("  " + s)


if __name__ == "__main__":
    main()
