#!/usr/bin/env python3
"""Writes the benchmark corpus: Shift_JIS text files of mixed Japanese and ASCII.

    make_corpus.py FOLDER COUNT MIN_BYTES MAX_BYTES SEED

The same arguments always give the same files, byte for byte.
"""
import os
import random
import sys

JAPANESE = (
    "日本語 文字 変換 テキスト ファイル 一覧 保存 更新 時刻 設定 表示 "
    "東京 大阪 京都 情報 処理 開発 確認 作成 削除 追加 検索 番号 名前 "
    "ひらがな カタカナ 漢字 全角 半角 記号 句読点 改行 空白 行頭 行末 "
    "ｶﾀｶﾅ ①② ㈱ ～ ・ 「引用」 『題名』 （括弧） 、 。"
).split()
ASCII = (
    "the quick brown fox jumps over lazy dog copy list folder file text "
    "encoding utf-8 shift_jis code page 932 rescue backup run status line "
    "0123 4567 89 a.txt b.csv README.md version=1.0 key=value path\\to\\file"
).split()


def make_line(rng):
    words = []
    for _ in range(rng.randint(4, 14)):
        words.append(rng.choice(JAPANESE) if rng.random() < 0.6 else rng.choice(ASCII))
    return " ".join(words)


def make_file(rng, size):
    out = bytearray()
    while len(out) < size:
        out += make_line(rng).encode("cp932") + b"\r\n"
    # Cut at a line end so every file stays valid Shift_JIS.
    cut = out.rfind(b"\r\n", 0, size)
    return bytes(out[: cut + 2] if cut > 0 else out)


def main():
    folder, count, low, high, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(seed)
    width = len(str(count))
    for i in range(count):
        data = make_file(rng, rng.randint(low, high))
        with open(os.path.join(folder, "f%0*d.txt" % (width, i)), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
