#!/usr/bin/env python3
"""The text work of one song search, done in plain Python, to compare with text_bench.

Usage: bench_text_pipeline.py PAGE [PAGE ...]
For each UTF-8 search results page: percent-decode it (urllib.parse.unquote_to_bytes), convert
it from UTF-8 to code page 936, cut it into song blocks and cut the UID, title and size out of
each block (re). Prints one line per page: "<file> <ms per run> <blocks>".
"""

import re
import sys
import time
import urllib.parse

DAY = "日".encode("cp936")
BLOCK = re.compile(re.escape(b'<div class="text">') + b"(.*?)" + re.escape(DAY + b"</span>"),
                   re.S | re.I)
UID = re.compile(re.escape(b'href="/play/') + b"(.*?)" + re.escape(b".html"), re.S)
TITLE = re.compile(re.escape(b'html" title="') + b"(.*?)" + re.escape(b'" target'), re.S)
SIZE = re.compile(re.escape(b'class="size">') + b"(.*?)" + re.escape(b"</span>"), re.S)


def pipeline(raw: bytes):
    page = urllib.parse.unquote_to_bytes(raw).decode("utf-8", "replace").encode("cp936", "replace")
    rows = []
    for m in BLOCK.finditer(page):
        block = m.group(1).strip(b" ")
        if not block:
            break
        fields = []
        for rx in (UID, TITLE, SIZE):
            f = rx.search(block)
            fields.append(f.group(1) if f else b"")
        rows.append(fields)
    return rows


def main(paths):
    for path in paths:
        with open(path, "rb") as f:
            raw = f.read()
        rows = pipeline(raw)  # warm-up, and the count to compare with text_bench
        # Median of several timed runs, in CPU time, as text_bench reports its figures.
        times = []
        while len(times) < 5 or sum(times) < 2.0:
            began = time.process_time()
            pipeline(raw)
            times.append(time.process_time() - began)
        times.sort()
        print(f"{path} {times[len(times) // 2] * 1000:.3f} {len(rows)}")


if __name__ == "__main__":
    main(sys.argv[1:])
