"""pandas, as a user would use it instead of framecalc-batch: read_csv, vector arithmetic,
to_csv.

    python3 peer_pandas.py records.txt > results.txt
    python3 peer_pandas.py --csv records.csv > results.txt

One output line per record, "X<TAB>Y" with two decimals. Fields that are not numbers become NaN
(pd.to_numeric with errors="coerce": without it a column holding "12a" stays text and the
arithmetic fails for the whole file); every record whose crossing is not finite (a NaN field,
a division by zero, an infinite field) is written with both fields empty: the line is a lone
tab. No message says which record failed or why.

Without --csv the file is blank-separated (read_csv with sep=" "); with --csv it is read with
read_csv's defaults (commas, quotes; R's unnamed column of row numbers becomes "Unnamed: 0" and
is not used). Either way the columns are taken by their names in the header.
"""
import sys

import numpy as np
import pandas as pd


def main():
    if sys.argv[1] == "--csv":
        records = pd.read_csv(sys.argv[2])
    else:
        records = pd.read_csv(sys.argv[1], sep=" ")
    for column in ("AX", "AY", "BX", "BY", "K"):
        records[column] = pd.to_numeric(records[column], errors="coerce")
    ax, ay, bx, by, k = (records[c].to_numpy() for c in ("AX", "AY", "BX", "BY", "K"))
    known_x = (records["AXIS"] == "X").to_numpy()
    with np.errstate(divide="ignore", invalid="ignore", over="ignore"):
        y_at_x = (k - ax) * ((by - ay) / (bx - ax)) + ay
        x_at_y = (k - ay) * ((bx - ax) / (by - ay)) + ax
    x = np.where(known_x, k, x_at_y)
    y = np.where(known_x, y_at_x, k)
    failed = ~(np.isfinite(x) & np.isfinite(y))
    x[failed] = np.nan
    y[failed] = np.nan
    pd.DataFrame({"X": x, "Y": y}).to_csv(
        sys.stdout, sep="\t", header=False, index=False, float_format="%.2f")
    return 1 if failed.any() else 0


if __name__ == "__main__":
    sys.exit(main())
