#!/usr/bin/env python3
"""Writes the detection corpus: real Japanese text (the Japanese manual pages
of Debian's manpages-ja, roff markup stripped) in Shift_JIS, EUC-JP,
ISO-2022-JP and UTF-8, cut at character boundaries into files of at most 8,
16, 32, 64, 128, 512 and 4,096 bytes and whole documents; plus half-width
katakana text, ASCII text with controls, and Chinese text in GB2312 (the
Simplified Chinese manual pages of manpages-zh), which no Japanese encoding
should claim.

    make_detection_corpus.py FOLDER SAMPLES SEED

FOLDER/<encoding>/<size>/NNNN.txt; FOLDER/truth.tsv lists each file with its
encoding. The same arguments always give the same files, byte for byte.
"""
import gzip
import os
import random
import re
import sys
import unicodedata

MAN = "/usr/share/man/ja"
MAN_ZH = "/usr/share/man/zh_CN"
SIZES = [8, 16, 32, 64, 128, 512, 4096, 0]  # 0: the whole document
ENCODINGS = {
    "sjis": "cp932",
    "eucjp": "euc_jp",
    "jis": "iso2022_jp",
    "utf8": "utf-8",
}


def roff_text(raw):
    lines = []
    for line in raw.splitlines():
        if line.startswith(".") or line.startswith("'"):
            if line.startswith((".SH", ".SS", ".B ", ".I ")):
                line = line.split(" ", 1)[1] if " " in line else ""
            else:
                continue
        line = re.sub(r"\\f(\[[^]]*\]|\(..|.)", "", line)
        line = re.sub(r"\\[&/,:]", "", line)
        line = line.replace("\\-", "-").replace("\\e", "\\").replace('"', "")
        line = re.sub(r"\\\((..)", "", line)
        if line.strip():
            lines.append(line.rstrip())
    return "\n".join(lines) + "\n"


def encodable(text, codecs=tuple(ENCODINGS.values())):
    """The text less the characters any of the encodings cannot hold."""
    out = []
    for c in text:
        try:
            for codec in codecs:
                c.encode(codec)
            out.append(c)
        except UnicodeEncodeError:
            pass
    return "".join(out)


def documents(man=MAN, keep=encodable, script_start=0x3000):
    docs = []
    for section in sorted(os.listdir(man)):
        folder = os.path.join(man, section)
        if not section.startswith("man") or not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            try:
                with gzip.open(path, "rb") as f:
                    raw = f.read().decode("utf-8")
            except (OSError, UnicodeDecodeError):
                continue
            text = keep(roff_text(raw))
            # Documents that are mostly translated (not untranslated pages).
            translated = sum(1 for c in text if ord(c) >= script_start)
            if len(text) > 600 and translated > len(text) // 5:
                docs.append(text)
    return docs


HALF = {}
for code in range(0xFF61, 0xFFA0):
    full = unicodedata.normalize("NFKC", chr(code))
    if len(full) == 1:
        HALF[full] = chr(code)


def half_width(text):
    """Katakana (with their sound marks) as half-width katakana."""
    out = []
    for c in text:
        decomposed = unicodedata.normalize("NFD", c)
        if c in HALF:
            out.append(HALF[c])
        elif len(decomposed) == 2 and decomposed[0] in HALF and decomposed[1] in ("\u3099", "\u309a"):
            out.append(HALF[decomposed[0]] + ("\uff9e" if decomposed[1] == "\u3099" else "\uff9f"))
        else:
            out.append(c)
    return "".join(out)


def cut(text, codec, size, rng):
    """A piece of text whose encoded form is at most size bytes, starting at a
    random character; the whole text for size 0."""
    if size == 0:
        return text.encode(codec)
    for _ in range(50):
        start = rng.randrange(0, max(1, len(text) - 1))
        # Grow by characters while the encoded form fits.
        lo, hi = start, min(len(text), start + size)
        best = b""
        while lo < hi:
            mid = (lo + hi + 1) // 2
            data = text[start:mid].encode(codec)
            if len(data) <= size:
                best, lo = data, mid
            else:
                hi = mid - 1
        if any(b >= 0x80 or b == 0x1B for b in best):
            return best
    return best


def main():
    folder, samples, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(seed)
    docs = documents()
    rng.shuffle(docs)
    truth = []

    def write(kind, size, index, data, label):
        sub = os.path.join(folder, kind, str(size or "whole"))
        os.makedirs(sub, exist_ok=True)
        path = os.path.join(sub, "%04d.txt" % index)
        with open(path, "wb") as f:
            f.write(data)
        truth.append((path, label))

    for kind, codec in ENCODINGS.items():
        for size in SIZES:
            for i in range(samples):
                doc = docs[rng.randrange(len(docs))]
                write(kind, size, i, cut(doc, codec, size, rng), kind)
    # Half-width katakana (ISO-2022-JP with its JIS X 0201 katakana set).
    half_codecs = {"sjis": "cp932", "eucjp": "euc_jp", "jis": "iso2022_jp_ext", "utf8": "utf-8"}
    for kind, codec in half_codecs.items():
        for size in (8, 32, 128):
            for i in range(samples):
                doc = half_width(docs[rng.randrange(len(docs))])
                write("half-" + kind, size, i, cut(doc, codec, size, rng), kind)
    # ASCII text with tabs, form feeds and terminal escapes.
    for i in range(samples):
        doc = docs[rng.randrange(len(docs))]
        ascii_text = "".join(c for c in doc if ord(c) < 0x80)
        piece = ascii_text[: rng.randint(8, 400)]
        piece = piece.replace(" ", rng.choice([" ", "\t", "\x0c", "\x1b[1m "]), 3)
        write("ascii", 0, i, piece.encode("ascii"), "ascii")

    # Chinese (GB2312), when the Chinese manual pages are there.
    if os.path.isdir(MAN_ZH):
        chinese = documents(MAN_ZH, lambda text: encodable(text, ("gb2312",)), 0x4E00)
        for size in (8, 32, 128, 0):
            for i in range(samples):
                doc = chinese[rng.randrange(len(chinese))]
                write("gb2312", size, i, cut(doc, "gb2312", size, rng), "gb2312")

    with open(os.path.join(folder, "truth.tsv"), "w") as f:
        for path, label in truth:
            f.write("%s\t%s\n" % (path, label))


if __name__ == "__main__":
    main()
