"""The Python a user would write instead of framecalc-batch: the csv module and float().

    python3 peer_csv.py records.txt > results.txt

One output line per record ("X<TAB>Y", two decimals), an empty line for a record that fails
(a field float() does not take, a missing field, a division by zero), the reason on standard
error. float() takes "1e400" as inf; the arithmetic then gives inf or nan, which is printed as
such: nothing here checks for it.
"""
import csv
import sys


def main():
    name = sys.argv[1]
    failed = False
    out = sys.stdout
    with open(name, newline="") as f:
        rows = csv.reader(f, delimiter=" ")
        next(rows)  # the header
        for number, row in enumerate(rows, start=2):
            try:
                ax, ay, bx, by = (float(v) for v in row[:4])
                axis = row[4]
                k = float(row[5])
                if axis == "X":
                    x = k
                    y = (k - ax) * ((by - ay) / (bx - ax)) + ay
                else:
                    x = (k - ay) * ((bx - ax) / (by - ay)) + ax
                    y = k
                out.write(f"{x:.2f}\t{y:.2f}\n")
            except (ValueError, IndexError, ZeroDivisionError) as e:
                out.write("\n")
                print(f"{name}:{number}: {e}", file=sys.stderr)
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
