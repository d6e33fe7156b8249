"""The Python a user would write instead of framecalc-batch: the csv module and float().

    python3 peer_csv.py records.txt > results.txt
    python3 peer_csv.py --csv records.csv > results.txt

One output line per record ("X<TAB>Y", two decimals), an empty line for a record that fails
(a field float() does not take, a missing field, a division by zero), the reason on standard
error. float() takes "1e400" as inf; the arithmetic then gives inf or nan, which is printed as
such: nothing here checks for it.

Without --csv the file is the blank-separated "AX AY BX BY AXIS K" with a header line, read by
csv.reader with delimiter=" " and the fields taken by place. With --csv it is a comma-separated
file with quotes (as R's write.csv and spreadsheets write it), read by csv.DictReader with its
defaults and the fields taken by their names in the header; other columns are left alone.
"""
import csv
import sys


def main():
    by_name = sys.argv[1] == "--csv"
    name = sys.argv[-1]
    failed = False
    out = sys.stdout
    with open(name, newline="") as f:
        if by_name:
            rows = ((r["AX"], r["AY"], r["BX"], r["BY"], r["AXIS"], r["K"])
                    for r in csv.DictReader(f))
        else:
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
            except (ValueError, IndexError, TypeError, ZeroDivisionError) as e:
                out.write("\n")
                print(f"{name}:{number}: {e}", file=sys.stderr)
                failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
