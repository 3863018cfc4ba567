#!/usr/bin/env python3
"""Scores encoding detection on the corpus of make_detection_corpus.py:
quillet (the source labels of `quillet-cli --status`), `nkf --guess` and
`uchardet`, per encoding and file length. Prints a Markdown table.

    detection.py CORPUS QUILLET_CLI_COMMAND...

With EXPLAIN_GUESS set to the command that runs explain_guess.exe, a second
table shows what guessing would do: for each file quillet leaves undecided,
whether its best-scoring reading names the file's encoding (right) or not
(mojibake, had a run converted it by that reading).

A file counts as right when the tool names its encoding; as mojibake when the
tool names another encoding (a conversion would then decode it wrongly); a
file the tool leaves undecided is neither. Chinese (GB2312) files are right
for quillet when it names no encoding (it reads no Chinese encoding, so
copying them unchanged is the right answer), and mojibake when it names one.
"""
import collections
import os
import re
import subprocess
import sys

QUILLET = {"S_JIS": "sjis", "EUCJP": "eucjp", "JIS_7": "jis", "UTF_8": "utf8", "ASCII": "ascii"}


def tool_name(text):
    t = text.strip().lower()
    t = re.sub(r"\s*\(.*\)$", "", t)
    if t in ("shift_jis", "cp932", "windows-31j", "sjis"):
        return "sjis"
    if t in ("euc-jp", "cp51932", "eucjp-ms", "euc-jisx0213"):
        return "eucjp"
    if t.startswith("iso-2022-jp"):
        return "jis"
    if t in ("utf-8", "utf8"):
        return "utf8"
    if t in ("ascii", "us-ascii"):
        return "ascii"
    if t in ("gb2312", "gbk", "gb18030", "euc-cn"):
        return "gb2312"
    if t in ("", "binary", "unknown"):
        return None
    return "other:" + t


def windows(path):
    return "Z:" + path.replace("/", "\\")


def quillet_labels(corpus, paths, command):
    listing = os.path.join(corpus, "_copy_.ilc")
    text = "".join(windows(p) + "\r\n" for p in paths)
    with open(listing, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    # Output through a file: Wine's helper processes may keep a pipe open.
    result = os.path.join(corpus, "quillet-status.txt")
    with open(result, "wb") as f:
        subprocess.run(command + ["--status", windows(listing)], stdout=f, stdin=subprocess.DEVNULL,
                       check=True)
    with open(result, "rb") as f:
        out = f.read().decode("utf-8")
    labels = {}
    for line in out.splitlines():
        if len(line) < 17:
            continue
        label = line[12:17]
        path = line.rsplit("  ", 1)[-1].strip()
        labels[path] = QUILLET.get(label)
    return [labels.get(windows(p)) for p in paths]


BY_CODE = {"74": "sjis", "51": "eucjp", "50": "jis", "8": "utf8", "65": "ascii"}


def best_readings(paths, command, folder):
    """The best-scoring reading of each file (explain_guess lists the valid
    readings best first), or None when no reading decodes."""
    best = {}
    result = os.path.join(folder, "explain.txt")
    for at in range(0, len(paths), 100):
        with open(result, "wb") as f:  # through a file, as for quillet-cli
            subprocess.run(command + [windows(p) for p in paths[at:at + 100]], stdout=f,
                           stdin=subprocess.DEVNULL, check=True)
        with open(result, "rb") as f:
            text = f.read().decode("utf-8", "replace")
        current = None
        for line in text.splitlines():
            header = re.match(r"(Z:.*): -?\d+( undecided)?$", line)
            if header:
                current = header.group(1)
                best[current] = None
            elif current and best[current] is None:
                reading = re.match(r"\s+(\d+)\s", line)
                if reading:
                    best[current] = BY_CODE.get(reading.group(1), "other")
    return [best.get(windows(p)) for p in paths]


def guessing_table(corpus, paths, truth, labels, command):
    undecided = [i for i, got in enumerate(labels) if got is None and truth[i] != "ascii"]
    best = best_readings([paths[i] for i in undecided], command, corpus)
    cells = collections.OrderedDict()
    for i, got in zip(undecided, best):
        rel = os.path.relpath(paths[i], corpus).split(os.sep)
        cell = cells.setdefault((rel[0], rel[1]), [0, 0, 0])
        cell[0] += 1
        if got is not None:
            cell[1 if got == truth[i] else 2] += 1
    print()
    print("| files | bytes | undecided | best reading right | best reading mojibake |")
    print("|---|---:|---:|---:|---:|")
    sums = [0, 0, 0]
    for (kind, size), (n, right, wrong) in cells.items():
        print("| %s | %s | %d | %d | %d |" % (kind, size, n, right, wrong))
        if kind != "gb2312":
            sums = [a + b for a, b in zip(sums, (n, right, wrong))]
    print("| all Japanese | | %d | %d | %d |" % tuple(sums))


def main():
    corpus, command = sys.argv[1], sys.argv[2:]
    rows = [line.rstrip("\n").split("\t") for line in open(os.path.join(corpus, "truth.tsv"))]
    paths = [r[0] for r in rows]
    truth = [r[1] for r in rows]
    guesses = {"quillet": quillet_labels(corpus, paths, command)}
    guesses["nkf"] = [tool_name(subprocess.run(["nkf", "--guess", p], capture_output=True)
                                .stdout.decode()) for p in paths]
    guesses["uchardet"] = [tool_name(subprocess.run(["uchardet", p], capture_output=True)
                                     .stdout.decode()) for p in paths]
    cells = collections.OrderedDict()
    for i, path in enumerate(paths):
        rel = os.path.relpath(path, corpus).split(os.sep)
        key = (rel[0], rel[1])
        cell = cells.setdefault(key, {t: [0, 0, 0] for t in guesses})
        for tool, answers in guesses.items():
            got = answers[i]
            c = cell[tool]
            c[0] += 1
            if got == truth[i] or (tool == "quillet" and truth[i] == "gb2312" and got is None):
                c[1] += 1
            elif got is not None:
                c[2] += 1
    print("| files | bytes | n | quillet % | quillet mojibake | nkf % | nkf wrong | uchardet % | uchardet wrong |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    totals = {"all Japanese": {t: [0, 0, 0] for t in guesses},
              "all Chinese": {t: [0, 0, 0] for t in guesses}}
    for (kind, size), cell in cells.items():
        parts = []
        total = totals["all Chinese" if kind == "gb2312" else "all Japanese"]
        for tool in ("quillet", "nkf", "uchardet"):
            n, right, wrong = cell[tool]
            for k in range(3):
                total[tool][k] += cell[tool][k]
            parts += ["%.1f" % (100.0 * right / n), str(wrong)]
        print("| %s | %s | %d | %s |" % (kind, size, cell["quillet"][0], " | ".join(parts)))
    for name, total in totals.items():
        if not total["quillet"][0]:
            continue
        parts = []
        for tool in ("quillet", "nkf", "uchardet"):
            n, right, wrong = total[tool]
            parts += ["%.1f" % (100.0 * right / n), str(wrong)]
        print("| %s | | %d | %s |" % (name, total["quillet"][0], " | ".join(parts)))
    if os.environ.get("EXPLAIN_GUESS"):
        guessing_table(corpus, paths, truth, guesses["quillet"], os.environ["EXPLAIN_GUESS"].split())
    if os.environ.get("SHOW_WRONG"):
        for i, path in enumerate(paths):
            got = guesses["quillet"][i]
            if got != truth[i] and not (truth[i] == "gb2312" and got is None):
                print("quillet", truth[i], got, path, file=sys.stderr)


if __name__ == "__main__":
    main()
