#!/usr/bin/env python3
"""Fails when two of the project's headers share a file name.

Which file an `#include "core/x.h"` reaches depends on the include folders that the
libraries a target links publish, and on their order; with one file per name, any include
finds at most one header, whatever those folders are. Arguments are the headers and the
IDL and message files (widl and windmc make <name>.h of each). Prints each shared name with
its files and exits 1.
"""
import os
import sys
from collections import defaultdict

GENERATES_HEADER = (".idl", ".mc")


def main(paths):
    by_name = defaultdict(list)
    for path in paths:
        stem, ext = os.path.splitext(os.path.basename(path))
        name = stem + ".h" if ext in GENERATES_HEADER else stem + ext
        by_name[name].append(path)
    bad = 0
    for name, files in sorted(by_name.items()):
        if len(files) > 1:
            print(f"{name}: " + ", ".join(sorted(files)))
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
