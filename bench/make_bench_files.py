"""Writes about 50 MB of text-like, compressible files (fixed seed) into a directory."""

import os
import random
import sys

WORDS = ("archive member header level method stored compressed window dictionary "
         "position length literal table symbol tree bit code block file name time "
         "size directory update install manager download page link version").split()


def main():
    out = sys.argv[1]
    rng = random.Random(20261208)
    for index in range(25):
        lines = []
        size = 0
        while size < 2 * 1024 * 1024:
            line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14)))
            line += " %08x\n" % rng.getrandbits(32)
            lines.append(line)
            size += len(line)
        with open(os.path.join(out, "part%02d.txt" % index), "w") as f:
            f.write("".join(lines))


if __name__ == "__main__":
    main()
