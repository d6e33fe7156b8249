#!/usr/bin/env bash
# Makes the table files of tests/batch_program/files/ with the programs that write such files in
# real life, so that framecalc-batch's end-to-end test (tests/batch_program/batch_files_test.cpp)
# reads what R, pandas, LibreOffice Calc and a GIS export really write:
#     tools/make-batch-fixtures.sh [DIRECTORY]
# (DIRECTORY defaults to tests/batch_program/files beside this script).
#
# Neither the build nor the tests run this: the files are checked in, and the tests need none of
# these tools. Run it by hand after changing the records below, then check the expected results
# in the test again. It needs (Debian 12): r-base-core, python3-pandas, libreoffice-calc-nogui,
# gdal-bin and iconv (libc-bin). Excel is not available on Linux; its files are written by
# Python's csv module, whose "excel" dialect copies Excel's CSV output (CR LF, quotes only where
# needed), with the encodings Excel uses.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../tests/batch_program/files}
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The pandas of Debian's python3-pandas, not one of another Python installation.
python=/usr/bin/python3

# --- R: write.csv and write.csv2 (row names first, strings quoted), and an old Mac file -------
Rscript --vanilla - "$out" <<'EOF'
out <- commandArgs(trailingOnly = TRUE)[1]
# Gauss-Krueger zone 3; a local system; AB parallel to the frame line X = 3512500; A equal to B.
d <- data.frame(
  AX = c(3512345.67, 3514321.09, -1250.5, 3512000, 3513456.78),
  AY = c(5806123.45, 5808765.43, 340.25, 5805000.5, 5807654.32),
  BX = c(3514321.09, 3511987.65, 2875.75, 3512000, 3513456.78),
  BY = c(5808765.43, 5804321.98, -960, 5807000.25, 5807654.32),
  AXIS = c("X", "Y", "X", "X", "Y"),
  K = c(3515000, 5806000, 0, 3512500, 5807000))
write.csv(d, file.path(out, "r-write-csv.csv"))
# Zone 4, written by a German R: ";" and decimal commas; a missing AY is NA.
d2 <- data.frame(
  AX = c(4567890.12, 4569012.34, -345.6, 4567000, 4566123.4),
  AY = c(5423456.78, 5421098.76, 12.75, NA, 5420987.65),
  BX = c(4569012.34, 4566543.21, 410.2, 4568000, 4568234.5),
  BY = c(5421098.76, 5424567.89, -88.4, 5423000, 5422876.54),
  AXIS = c("Y", "X", "Y", "X", "X"),
  K = c(5422000, 4568000, 0, 4567500, 4567000.25))
write.csv2(d2, file.path(out, "r-write-csv2.csv"))
# Lines ended by a lone CR, as the classic Mac OS wrote them; nothing quoted. The third record
# runs parallel to the frame line Y = 5457000.
d3 <- data.frame(
  AX = c(3345678.9, 3347890.12, 3346000, -111.11),
  AY = c(5456789.01, 5454567.89, 5456000, 222.22),
  BX = c(3347890.12, 3344444.44, 3347000, 333.33),
  BY = c(5454567.89, 5457777.77, 5456000, -444.47),
  AXIS = c("Y", "X", "Y", "X"),
  K = c(5455555, 3346000, 5457000, 10))
write.table(d3, file.path(out, "old-mac-cr.csv"), sep = ",", quote = FALSE, row.names = FALSE,
            eol = "\r")
EOF

# --- pandas: to_csv with its defaults, with every string quoted, and German ---------------------
"$python" - "$out" "$work" <<'EOF'
import csv
import sys

import numpy as np
import pandas as pd

out, work = sys.argv[1], sys.argv[2]
columns = ["AX", "AY", "BX", "BY", "AXIS", "K"]
# Zone 2; AXIS as users type it (x, y); a missing AY (an empty cell); AB parallel to Y = 5710500.
pd.DataFrame([
    [2598765.43, 5712345.67, 2601234.56, 5709876.54, "x", 2600000.0],
    [2601234.56, 5709876.54, 2597654.32, 5713456.78, "Y", 5711000.0],
    [-2468.13, -1357.24, 1122.33, 4455.66, "X", -1000.0],
    [2599000.0, np.nan, 2600500.0, 5711500.0, "Y", 5711000.0],
    [2599500.0, 5710000.0, 2600500.0, 5710000.0, "y", 5710500.0],
], columns=columns).to_csv(f"{out}/pandas-index-false.csv", index=False)
# A point name first and a map sheet last; a missing BX (written as a quoted empty string);
# A equal to B.
pd.DataFrame([
    ["P1", 3456789.01, 5678901.23, 3458901.23, 5676789.01, "Y", 5678000.0, "TK25 3315"],
    ["P2", 3458901.23, 5676789.01, 3455432.1, 5679012.34, "X", 3457000.0, "TK25 3315"],
    ["P3", 3455000.0, 5677500.0, np.nan, 5678500.0, "X", 3456000.0, "TK25 3316"],
    ["P4", -876.54, 234.5, 1234.56, -432.1, "Y", 100.0, "Ausschnitt, lokal"],
    ["P5", 3457123.45, 5677123.45, 3457123.45, 5677123.45, "X", 3457123.45, "TK25 3315"],
], columns=["Punkt"] + columns + ["Blatt"]).to_csv(
    f"{out}/pandas-quote-nonnumeric.csv", index=False, quoting=csv.QUOTE_NONNUMERIC)
# German: ";" and decimal commas; every record gives a result.
pd.DataFrame([
    [3398765.4, 5598765.43, 3401234.5, 5601234.56, "X", 3400000.0],
    [3401234.5, 5601234.56, 3397890.12, 5597890.12, "Y", 5600000.0],
    [-55.55, 66.6, 77.7, -88.88, "Y", 10.0],
], columns=columns).to_csv(
    f"{out}/pandas-semicolon-decimal-comma.csv", index=False, sep=";", decimal=",")

# --- Excel, as Python's csv module writes its dialect -------------------------------------------
# "CSV UTF-8 (comma delimited)": a byte-order mark, CR LF, numbers as typed; a name with a line
# break in its cell (Alt+Enter), which Excel writes as a bare LF inside quotes; a missing K.
with open(f"{out}/excel-csv-utf8.csv", "w", encoding="utf-8-sig", newline="") as f:
    w = csv.writer(f, dialect="excel")
    w.writerow(["Name", "AX", "AY", "BX", "BY", "AXIS", "K"])
    w.writerow(["Grenzstein S\u00fcd", "3523456.78", "5812345.67", "3525678.9", "5810123.45", "X", "3524000"])
    w.writerow(["Mast 4\nalte Leitung", "3525678.9", "5810123.45", "3522345.67", "5813456.78", "Y", "5811000"])
    w.writerow(["Br\u00fccke", "3524000.5", "5811000.25", "3524100.75", "5811200.5", "X", ""])
    w.writerow(["Pegel", "-987.65", "-123.45", "876.54", "321.09", "Y", "0"])
# A German Excel's "CSV (Trennzeichen-getrennt)": Windows-1252, ";" and decimal commas, CR LF;
# an easting meant but AXIS "R" (Rechtswert) typed.
with open(f"{out}/excel-de-semicolon.csv", "w", encoding="cp1252", newline="") as f:
    w = csv.writer(f, dialect="excel", delimiter=";")
    w.writerow(["Punkt", "AX", "AY", "BX", "BY", "AXIS", "K", "Bemerkung"])
    w.writerow(["1", "4498765,43", "5509876,54", "4501234,56", "5507654,32", "X", "4500000", "Flurst\u00fcck 12/3"])
    w.writerow(["2", "4501234,56", "5507654,32", "4497654,32", "5511234,56", "Y", "5509000", ""])
    w.writerow(["3", "4499000", "5508000", "4500500,5", "5509500,25", "R", "4500000", "Rechtswert gemeint"])
    w.writerow(["4", "-12,34", "56,78", "90,12", "-34,56", "Y", "0", "\u00f6rtlich"])
# "Unicode text": tabs and CR LF, turned into UTF-16 LE with a byte-order mark below by iconv.
with open(f"{work}/unicode-text.utf8", "w", encoding="utf-8", newline="") as f:
    f.write("Punkt\tAX\tAY\tBX\tBY\tAXIS\tK\r\n"
            "P1\t3512345.67\t5806123.45\t3514321.09\t5808765.43\tX\t3513000\r\n"
            "P2\t3514321.09\t5808765.43\t3511987.65\t5804321.98\tY\t5806000\r\n")
EOF
{ printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$work/unicode-text.utf8"; } \
  > "$out/excel-unicode-text-utf16le.txt"

# --- LibreOffice Calc: a sheet saved as CSV with "quote all text cells" -----------------------
# The sheet: a point name, the six columns with two decimals shown (the number format of the
# given locale), an empty row between the records.
write_sheet() {  # FILE LANGUAGE COUNTRY ROWS...; a row is "name|AX|AY|BX|BY|AXIS|K", "" empty
  local file=$1 language=$2 country=$3
  shift 3
  {
    cat <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
<number:number-style style:name="N2" number:language="$language" number:country="$country"><number:number number:decimal-places="2" number:min-decimal-places="2" number:min-integer-digits="1"/></number:number-style>
<style:style style:name="ce1" style:family="table-cell" style:data-style-name="N2"/>
</office:automatic-styles>
<office:body><office:spreadsheet><table:table table:name="Punkte">
<table:table-row>
EOF
    for name in Punkt AX AY BX BY AXIS K; do
      echo "<table:table-cell office:value-type=\"string\"><text:p>$name</text:p></table:table-cell>"
    done
    echo "</table:table-row>"
    for row in "$@"; do
      if [ -z "$row" ]; then
        echo "<table:table-row><table:table-cell table:number-columns-repeated=\"7\"/></table:table-row>"
        continue
      fi
      IFS='|' read -r name ax ay bx by axis k <<<"$row"
      echo "<table:table-row>"
      echo "<table:table-cell office:value-type=\"string\"><text:p>$name</text:p></table:table-cell>"
      for value in "$ax" "$ay" "$bx" "$by"; do
        echo "<table:table-cell table:style-name=\"ce1\" office:value-type=\"float\" office:value=\"$value\"/>"
      done
      echo "<table:table-cell office:value-type=\"string\"><text:p>$axis</text:p></table:table-cell>"
      echo "<table:table-cell table:style-name=\"ce1\" office:value-type=\"float\" office:value=\"$k\"/>"
      echo "</table:table-row>"
    done
    echo "</table:table></office:spreadsheet></office:body></office:document>"
  } > "$file"
}

# Filter options: separator, text delimiter (34), UTF-8 (76), first line, column formats (none),
# language, quote all text cells, detect special numbers.
convert_sheet() {  # SHEET OUTPUT SEPARATOR LANGUAGE-ID LOCALE
  local sheet=$1 output=$2 separator=$3 language=$4 locale=$5
  mkdir -p "$work/out"
  LANG=$locale LC_ALL=$locale HOME="$work" soffice --headless --norestore \
    --convert-to "csv:Text - txt - csv (StarCalc):$separator,34,76,1,,$language,true,true" \
    --outdir "$work/out" "$sheet" >/dev/null
  mv "$work/out/$(basename "${sheet%.fods}").csv" "$output"
}

# A equal to B.
write_sheet "$work/libreoffice-en.fods" en US \
  "GP 101|3511876.54|5805432.1|3512123.46|5806543.21|X|3512050" \
  "GP 102|3512123.46|5806543.21|3511234.56|5807654.32|Y|5807000" \
  "" \
  "GP 103|-1500.25|2200.75|1800.5|-1300|X|2500" \
  "GP 104|3511500|5806000|3511500|5806000|Y|5806500"
convert_sheet "$work/libreoffice-en.fods" "$out/libreoffice-en-quote-all-text.csv" 44 1033 \
  en_US.UTF-8
# K on B; AB parallel to the frame line X = 4413500.
write_sheet "$work/libreoffice-de.fods" de DE \
  "TP 7|4412345.67|5634567.89|4414567.89|5632345.67|Y|5633000" \
  "TP 8|4414567.89|5632345.67|4411111.11|5633333.33|X|4411111.11" \
  "" \
  "TP 9|4413000|5633500.5|4413000|5634500.75|X|4413500" \
  "TP 10|-234.56|-345.67|456.78|567.89|X|100"
convert_sheet "$work/libreoffice-de.fods" "$out/libreoffice-de-quote-all-text.csv" 59 1031 \
  de_DE.UTF-8

# --- A GIS attribute table exported by ogr2ogr, tab-separated ----------------------------------
# An id first and remarks last (one with a comma and quotes); a missing K (a null attribute).
cat > "$work/punkte.geojson" <<'EOF'
{"type": "FeatureCollection", "features": [
{"type": "Feature", "geometry": {"type": "Point", "coordinates": [3567890.12, 5923456.78]},
 "properties": {"id": 7001, "AX": 3567890.12, "AY": 5923456.78, "BX": 3569012.34, "BY": 5921234.56,
                "AXIS": "X", "K": 3568000, "Bemerkung": "Grenzstein \"alt\", versetzt"}},
{"type": "Feature", "geometry": {"type": "Point", "coordinates": [3569012.34, 5921234.56]},
 "properties": {"id": 7002, "AX": 3569012.34, "AY": 5921234.56, "BX": 3566789.01, "BY": 5924567.89,
                "AXIS": "Y", "K": 5923000, "Bemerkung": "Kanaldeckel"}},
{"type": "Feature", "geometry": {"type": "Point", "coordinates": [3568500.5, 5922000]},
 "properties": {"id": 7003, "AX": 3568500.5, "AY": 5922000, "BX": 3568500.5, "BY": 5923000.75,
                "AXIS": "X", "K": null, "Bemerkung": "K fehlt, nachmessen"}},
{"type": "Feature", "geometry": {"type": "Point", "coordinates": [-4321.5, 1234.25]},
 "properties": {"id": 7004, "AX": -4321.5, "AY": 1234.25, "BX": 2345.75, "BY": -3456.5,
                "AXIS": "Y", "K": -4000, "Bemerkung": "lokales System"}}
]}
EOF
rm -f "$out/gis-ogr2ogr-tab.csv"
ogr2ogr -f CSV -lco SEPARATOR=TAB -nln punkte "$out/gis-ogr2ogr-tab.csv" "$work/punkte.geojson"

ls -l "$out"
