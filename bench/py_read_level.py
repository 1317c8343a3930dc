#!/usr/bin/env python3
"""A plain Python reading of a JKL level, the yardstick beside the benchmark of the import: every
line is read, its comment cut off and its words split, and every word that looks like a number
is converted (decimal or hexadecimal integers, floating-point values), as a straightforward
reader written in Python would do. Prints the numbers of lines, words and numbers."""
import sys


def main(path):
    lines = words = numbers = 0
    with open(path, "r", encoding="latin-1", newline=None) as f:
        for line in f:
            lines += 1
            hash_at = line.find("#")
            if hash_at >= 0:
                line = line[:hash_at]
            parts = line.split()
            words += len(parts)
            for w in parts[1:]:
                c = w[0]
                if c.isdigit() or c in "-.":
                    try:
                        if w.startswith("0x"):
                            int(w, 16)
                        elif "." in w or "e" in w or "E" in w:
                            float(w)
                        else:
                            int(w)
                        numbers += 1
                    except ValueError:
                        pass
    print(lines, words, numbers)


if __name__ == "__main__":
    main(sys.argv[1])
