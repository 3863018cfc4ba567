#!/usr/bin/env python3
"""Writes a benchmark tree of Shift_JIS text files (make_corpus.py's files).

    make_tree.py FOLDER GROUPS FOLDERS_PER_GROUP FILES_PER_FOLDER MIN_BYTES MAX_BYTES SEED

FOLDER/gNN/dNNN/fNNN.txt: GROUPS x FOLDERS_PER_GROUP folders of FILES_PER_FOLDER
files each. The same arguments always give the same files, byte for byte.
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_corpus import make_file  # noqa: E402


def main():
    root = sys.argv[1]
    groups, folders, files, low, high, seed = (int(a) for a in sys.argv[2:8])
    rng = random.Random(seed)
    for g in range(groups):
        for d in range(folders):
            folder = os.path.join(root, "g%02d" % g, "d%03d" % d)
            os.makedirs(folder, exist_ok=True)
            for f in range(files):
                with open(os.path.join(folder, "f%03d.txt" % f), "wb") as out:
                    out.write(make_file(rng, rng.randint(low, high)))


if __name__ == "__main__":
    main()
