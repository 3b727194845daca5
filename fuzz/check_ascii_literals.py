#!/usr/bin/env python3
"""Fails when a C++ source holds a non-ASCII byte outside a comment.

The program's narrow literals are GBK only under gcc's -fexec-charset=GBK; clang writes them as
UTF-8, so a source compiled by clang must keep its non-ASCII text (if any) in comments.
Usage: check_ascii_literals.py FILE...   Prints one line per offending source line.
"""
import re
import sys

RAW_STRING_START = re.compile(rb'(?:u8|u|U|L)?R"([^ ()\\\t\v\f\n]{0,16})\(')


def code_outside_comments(source):
    """Yields (line number, byte) for every byte of code and literals, skipping comments."""
    i, line, n = 0, 1, len(source)
    while i < n:
        c = source[i:i + 1]
        if source.startswith(b'//', i):
            end = source.find(b'\n', i)
            i = n if end == -1 else end
            continue
        if source.startswith(b'/*', i):
            end = source.find(b'*/', i + 2)
            end = n if end == -1 else end + 2
            line += source.count(b'\n', i, end)
            i = end
            continue
        raw = RAW_STRING_START.match(source, i)
        if raw and (i == 0 or not (source[i - 1:i].isalnum() or source[i - 1:i] == b'_')):
            close = b')' + raw.group(1) + b'"'
            end = source.find(close, raw.end())
            end = n if end == -1 else end + len(close)
            for k in range(i, end):
                yield line, source[k]
                if source[k] == 0x0A:
                    line += 1
            i = end
            continue
        if c in (b'"', b"'"):
            k = i + 1
            while k < n and source[k:k + 1] != c and source[k:k + 1] != b'\n':
                k += 2 if source[k:k + 1] == b'\\' else 1
            end = min(k + 1, n)
            for j in range(i, end):
                yield line, source[j]
            i = end
            continue
        yield line, source[i]
        if c == b'\n':
            line += 1
        i += 1


def main(paths):
    failed = False
    for path in paths:
        with open(path, 'rb') as file:
            source = file.read()
        reported = set()
        for line, byte in code_outside_comments(source):
            if byte >= 0x80 and line not in reported:
                reported.add(line)
                failed = True
                print(f'{path}:{line}: non-ASCII text outside a comment')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
