#!/usr/bin/env python3
"""Converts every file of the detection corpus (make_detection_corpus.py) to
UTF-8 with quillet-cli, one run per cell, and checks every written file:
either it is the source's text in UTF-8, or it is the source unchanged and
the run named the file on standard error with its reason. Chinese files are
right only unchanged (quillet reads no Chinese encoding); converted, they
are mojibake. Prints a Markdown table of the counts and every Japanese file
that is neither.

    detection_run.py CORPUS QUILLET_CLI_COMMAND...

Expected texts come from Python's codecs, with the few characters where the
JIS standard's mapping of EUC-JP and ISO-2022-JP differs from code page
932's (WAVE DASH, MINUS SIGN and the like) mapped as code page 932 maps
them: quillet reads JIS X 0208 through code page 932's table, so that the
same character in Shift_JIS and in EUC-JP comes out the same.
"""
import collections
import os
import subprocess
import sys

CODECS = {"sjis": "cp932", "eucjp": "euc_jp", "jis": "iso2022_jp_ext", "utf8": "utf-8",
          "ascii": "ascii"}
AS_CP932 = {0x301C: 0xFF5E, 0x2212: 0xFF0D, 0x2016: 0x2225, 0xA2: 0xFFE0, 0xA3: 0xFFE1,
            0xAC: 0xFFE2, 0x2014: 0x2015}


def windows(path):
    return "Z:" + path.replace("/", "\\")


def expected(data, label):
    text = data.decode(CODECS[label])
    if label in ("eucjp", "jis"):
        text = text.translate(AS_CP932)
    return text.encode("utf-8")


def main():
    corpus, command = sys.argv[1], sys.argv[2:]
    out = os.path.join(corpus, "converted")
    cells = collections.OrderedDict()
    for line in open(os.path.join(corpus, "truth.tsv")):
        path, label = line.rstrip("\n").split("\t")
        rel = os.path.relpath(path, corpus).split(os.sep)
        cells.setdefault((rel[0], rel[1]), []).append((path, label))
    totals = {"Japanese": collections.Counter(), "Chinese": collections.Counter()}
    odd = []
    for (kind, size), files in cells.items():
        dest = os.path.join(out, kind, size)
        os.makedirs(dest, exist_ok=True)
        listing = "".join(windows(p) + "\r\n" for p, _ in files)
        with open(os.path.join(dest, "_copy_.ilc"), "wb") as f:
            f.write(b"\xff\xfe" + listing.encode("utf-16-le"))
        # Output through files: Wine's helper processes may keep a pipe open.
        with open(dest + ".out", "wb") as out_file, open(dest + ".err", "wb") as err_file:
            run = subprocess.run(command + ["--code", "8", windows(dest)], stdout=out_file,
                                 stderr=err_file, stdin=subprocess.DEVNULL)
        with open(dest + ".err", "rb") as f:
            err = f.read().decode("utf-8", "replace")
        if run.returncode != 0:
            odd.append("%s/%s: exit %d" % (kind, size, run.returncode))
        for path, label in files:
            with open(path, "rb") as f:
                source = f.read()
            try:
                with open(os.path.join(dest, os.path.basename(path)), "rb") as f:
                    written = f.read()
            except OSError:
                written = None  # nothing written: neither right nor kept
            kept = written == source and windows(path) + ": kept unchanged: " in err
            if label == "gb2312":
                totals["Chinese"]["kept unchanged, reason printed" if kept else "anything else"] += 1
            elif written == expected(source, label):
                totals["Japanese"]["converted right"] += 1
            elif kept:
                totals["Japanese"]["kept unchanged, reason printed"] += 1
            else:
                totals["Japanese"]["anything else"] += 1
                odd.append(path)
    print("| converted to UTF-8 | Japanese files | Chinese files |")
    print("|---|---:|---:|")
    for name in ("converted right", "kept unchanged, reason printed", "anything else"):
        print("| %s | %d | %d |" % (name, totals["Japanese"][name], totals["Chinese"][name]))
    for line in odd:
        print("odd:", line)


if __name__ == "__main__":
    main()
