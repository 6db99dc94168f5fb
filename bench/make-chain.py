#!/usr/bin/env python3
"""Makes a chain of DEPTH nested folders named "d" under FOLDER, with the files
a.txt and b.jpg at each level: a tree deeper than a path may be long, for
timing the scan's walk against find (bench/scan-vs-find.sh FOLDER).

Usage: bench/make-chain.py FOLDER [DEPTH]   (DEPTH defaults to 5000)
"""
import os
import sys


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    root = sys.argv[1]
    depth = int(sys.argv[2]) if len(sys.argv) == 3 else 5000
    os.makedirs(root, exist_ok=True)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    try:
        # One level at a time through descriptors: the full paths soon exceed
        # what the system accepts.
        for _ in range(depth):
            for name in ("a.txt", "b.jpg"):
                os.close(os.open(name, os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=fd))
            try:
                os.mkdir("d", dir_fd=fd)
            except FileExistsError:
                pass
            below = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = below
    finally:
        os.close(fd)


if __name__ == "__main__":
    main()
