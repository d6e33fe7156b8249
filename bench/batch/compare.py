"""framecalc-batch against the tools a user would pick for a file of records, on one generated
file; called by bench/batch/run.sh, which installs and builds what it needs:

    python3 compare.py --work DIR --batch PROGRAM --calculator PROGRAM --peer PROGRAM
                       [--records N] [--rounds R] [--loop-records L]

1. Generates the records (fixed seed; the first n records are the same for every n) for
   10,000, 100,000 and N records in DIR: the plain file (blank-separated, a header line), and
   the same records as a quoted CSV in the form of R's write.csv.
2. Runs framecalc-batch and every peer on the N-record plain file in R rounds, and in the same
   rounds framecalc-batch on the quoted CSV and with --table on the plain file, and Python's
   csv.DictReader and pandas' read_csv (their defaults) on the quoted CSV; each round runs every
   program once, in a random order. The input comes from the page cache (the file was just
   written, then read whole; every program has run once before the rounds, on the 10,000-record
   file, so that its own files are in the cache too); results and messages go to regular files
   in DIR. Per run: wall time from spawn to exit, CPU time (user + system) from wait4, peak
   resident memory. The table gives the medians, the ratio peer / framecalc-batch (on the same
   file) of the medians and that ratio's lowest and highest value in a round.
3. The shell loop over framecalc (one process a record) on the first L records, extrapolated.
4. Peak memory of framecalc-batch for 10,000, 100,000 and N records, plain, quoted and --table.
5. Whether framecalc-batch gives the same results on the quoted CSV and with --table as on the
   plain file; the peers' results against framecalc-batch's, line by line, with the reason for
   each kind of difference; and the same for a few records typed to land on the roundings where
   the programs differ.
"""
import argparse
import csv
import datetime
import fractions
import math
import os
import platform
import random
import re
import shutil
import statistics
import subprocess
import sys
import time
from decimal import ROUND_HALF_EVEN, ROUND_HALF_UP, Decimal, localcontext

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"  # Debian's, with Debian's pandas

# The awk one-liner: awk's default field splitting (runs of blanks and tabs; the generated file
# is blank-separated), the header skipped, a zero divisor gives an empty line (gawk stops the
# whole run with a fatal error on a division by zero).
AWK = ('NR > 1 { if ($5 == "X") { d = $3 - $1; if (d == 0) { print ""; next }'
       ' printf "%.2f\\t%.2f\\n", $6, ($6 - $1) * (($4 - $2) / d) + $2 }'
       ' else { d = $4 - $2; if (d == 0) { print ""; next }'
       ' printf "%.2f\\t%.2f\\n", ($6 - $2) * (($3 - $1) / d) + $1, $6 } }')

BAD_FIELDS = ["12a", "1e400", "1e5120", "abc"]


def generate(path, n):
    r = random.Random(20261210)
    with open(path, "w") as f:
        f.write("AX AY BX BY AXIS K\n")
        for _ in range(n):
            ax, ay, bx, by = (round(r.uniform(-1e5, 1e5), r.randrange(4)) for _ in range(4))
            axis = "X" if r.random() < 0.5 else "Y"
            k = round(r.uniform(-1e5, 1e5), 2)
            roll = r.random()
            if roll < 0.005:  # AB parallel to the frame line
                bx = ax if axis == "X" else bx
                by = ay if axis == "Y" else by
            elif roll < 0.01:  # A = B
                bx, by = ax, ay
            elif roll < 0.02:  # not a number, too large, infinite
                ax = r.choice(BAD_FIELDS)
            f.write(f"{ax} {ay} {bx} {by} {axis} {k}\n")


def r_number(text):
    """A number as R writes a double in write.csv: at most 15 significant digits, no trailing
    zeros, fixed notation unless scientific is shorter ("-12345", "0.5", "1e+05", "1e-04").
    A text that is not a finite number ("abc", "12a", "1e400") is kept as it is."""
    try:
        v = float(text)
    except ValueError:
        return text
    if not math.isfinite(v):
        return text
    if v == 0:
        return "0"
    mantissa, exponent = f"{abs(v):.14e}".split("e")
    e = int(exponent)
    digits = mantissa.replace(".", "").rstrip("0")
    n = len(digits)
    sign = "-" if v < 0 else ""
    decimals = max(0, n - 1 - e)
    fixed = len(sign) + (e + 1 if e >= 0 else 1) + (1 + decimals if decimals else 0)
    scientific = len(sign) + n + (1 if n > 1 else 0) + (4 if abs(e) < 100 else 5)
    if fixed <= scientific:
        return f"{v:.{decimals}f}"
    point = digits[0] + ("." + digits[1:] if n > 1 else "")
    return f"{sign}{point}e{'-' if e < 0 else '+'}{abs(e):02d}"


def write_quoted(plain_path, path):
    """The records of the plain file as R's write.csv writes a data frame of them: a header
    naming the columns, with an empty quoted name for the row names; each row its quoted row
    number, the numbers unquoted as R formats them, the axis quoted; commas, LF. The fields that
    are no number in the plain file (2 % of the records) keep their text, unquoted, so that the
    same records fail (R would hold such a column as text and quote every cell of it)."""
    with open(plain_path) as f, open(path, "w") as g:
        next(f)
        g.write('"","AX","AY","BX","BY","AXIS","K"\n')
        for number, line in enumerate(f, start=1):
            ax, ay, bx, by, axis, k = line.split()
            g.write(f'"{number}",{r_number(ax)},{r_number(ay)},{r_number(bx)},{r_number(by)},'
                    f'"{axis}",{r_number(k)}\n')


def quoted_as_plain(line):
    """A line of the quoted file in the plain file's form (its six fields, blank-separated), for
    the comparison of results: no field of the generated file holds a comma or a quote."""
    return " ".join(t.strip('"') for t in line.split(",")[1:])


def spawn(argv, stdin_path, out_path, err_path, env):
    """Runs argv to its end: wall seconds, CPU seconds (user + system), peak KiB, exit code.

    The program is started by GNU time, which only reports its peak memory: a child forked by
    this (large) Python process would count this process's resident memory as its own peak, as
    the kernel carries the high-water mark over the exec. Wall time and CPU time are this
    process's wait4 for time, and so include time's own fork and exec (well below a
    millisecond of CPU, the same for every program)."""
    peak_path = out_path + ".peak"
    for p in (out_path, err_path, peak_path):
        if os.path.exists(p):
            os.unlink(p)
    fd_in = os.open(stdin_path, os.O_RDONLY)
    fd_out = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    fd_err = os.open(err_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    actions = [(os.POSIX_SPAWN_DUP2, fd_in, 0), (os.POSIX_SPAWN_DUP2, fd_out, 1),
               (os.POSIX_SPAWN_DUP2, fd_err, 2)]
    timed = ["/usr/bin/time", "-f", "%M", "-o", peak_path, "--"] + argv
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(timed[0], timed, env, file_actions=actions)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        for fd in (fd_in, fd_out, fd_err):
            os.close(fd)
    with open(peak_path) as f:
        peak = int(f.read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, peak, os.waitstatus_to_exitcode(status)


# ---------------------------------------------------------------------------------------------
# Why two results differ.

def exact(value):
    """The exact decimal value of a double or an extended (np.longdouble)."""
    num, den = fractions.Fraction(*value.as_integer_ratio()).as_integer_ratio()
    e = den.bit_length() - 1  # den is a power of 2
    with localcontext() as c:
        c.prec = 20000
        return Decimal(num * 5 ** e).scaleb(-e)


def two_decimals(d, rounding):
    with localcontext() as c:
        c.prec = 20000
        return f"{d.quantize(Decimal('0.01'), rounding=rounding):f}"


def framecalc_digits(batch, work, values):
    """framecalc-batch's own digits of each double (the known coordinate of a record, written
    with 30 decimals): its text is made from 18 digits after a lead digit of 0 or 1, computed
    in extended, and the digits after those are zeros. Each double is given by its exact decimal
    value where that fits the 64 characters framecalc reads of a number."""
    path = os.path.join(work, "digits.txt")
    with open(path, "w") as f:
        f.write("AX AY BX BY AXIS K\n")
        for v in values:
            text = f"{exact(v):f}"
            f.write(f"0 0 1 1 X {text if len(text) <= 64 else repr(float(v))}\n")
    r = subprocess.run([batch, "--decimals", "30", path], capture_output=True, text=True)
    lines = r.stdout.split("\n")
    return {float(v): Decimal(line.split("\t")[0]) for v, line in zip(values, lines)}


def is_tie(d):
    """True when d lies exactly halfway between two values of two decimals."""
    with localcontext() as c:
        c.prec = 20000
        thousandths = abs(d) * 1000
        return thousandths == thousandths.to_integral_value() and thousandths % 10 == 5


def short(d, digits=25):
    with localcontext() as c:
        c.prec = digits
        return f"{+d}"


def crossing(fields, kind):
    """The crossing of a record in one arithmetic: 'extended' (np.longdouble, the inputs rounded
    to double first), or 'double'. Returns (x, y) or None when a field is not a number."""
    try:
        ax, ay, bx, by = (float(t) for t in fields[:4])
        k = float(fields[5])
    except (ValueError, IndexError):
        return None
    t = np.longdouble if kind == "extended" else np.float64
    ax, ay, bx, by, k = (t(v) for v in (ax, ay, bx, by, k))
    with np.errstate(all="ignore"):
        if fields[4] == "X":
            return k, (k - ax) * ((by - ay) / (bx - ax)) + ay
        return (k - ay) * ((bx - ax) / (by - ay)) + ax, k


def pandas_reading(line):
    import io
    import pandas as pd
    frame = pd.read_csv(io.StringIO("AX AY BX BY AXIS K\n" + line + "\n"), sep=" ")
    return [repr(float(frame[c][0])) if c != "AXIS" else str(frame[c][0])
            for c in ("AX", "AY", "BX", "BY", "AXIS", "K")]


def straddle(ours_digits, exact_value, ours_text, theirs_text):
    """True when framecalc's digits and the exact value lie on the two sides of the tie between
    the two texts."""
    a, b = Decimal(ours_text), Decimal(theirs_text)
    if abs(a - b) != Decimal("0.01"):
        return False
    tie = (a + b) / 2
    return (ours_digits - tie) * (exact_value - tie) < 0


def stored_crossing(line):
    """The crossing as framecalc computes it, modelled with np.longdouble: the extended result
    and its rounding to double."""
    ext = crossing(line.split(), "extended")
    return ext, tuple(np.float64(e) for e in ext)


def digits_reason(line, ours, theirs, peer, digits_of):
    """(kind, text): what explains a difference of digits between two results of a record."""
    fields = line.split()
    if "inf" in theirs.lower() or "inf" in ours.lower():
        spelled = re.search(r"[+-]?inf", theirs, re.IGNORECASE)
        return ("infinity written differently",
                "framecalc writes an infinite coordinate as +Inf or -Inf, the peer as "
                f"{spelled.group(0) if spelled else repr(theirs)}")
    ext, stored = stored_crossing(line)
    dbl = crossing(fields, "double")
    ours_xy, theirs_xy = ours.split("\t"), theirs.split("\t")
    notes = []
    kinds = []
    for i, name in enumerate("XY"):
        if ours_xy[i] == theirs_xy[i]:
            continue
        prefix = f"{name}: "
        d_stored = exact(stored[i])
        ours_digits = digits_of[float(stored[i])]
        if two_decimals(ours_digits, ROUND_HALF_UP) != ours_xy[i]:
            kinds.append("framecalc's result not modelled")
            notes.append(prefix + f"framecalc's {ours_xy[i]} is not its writing of the double "
                         f"{short(d_stored)} computed here ({ours_digits.normalize():f})")
            continue
        if two_decimals(d_stored, ROUND_HALF_EVEN) == theirs_xy[i]:
            if is_tie(d_stored):
                kinds.append("exact tie")
                notes.append(prefix + f"the result is exactly {d_stored.normalize():f}, a tie: "
                             "the peer rounds the binary value to even, framecalc rounds half up")
            elif is_tie(ours_digits):
                side = "below" if abs(d_stored) < abs(ours_digits) else "above"
                kinds.append("framecalc's digits make a tie")
                notes.append(prefix + f"the double is {short(d_stored, 30)}, just {side} the "
                             f"tie; framecalc's digits of it, {ours_digits.normalize():f}, are "
                             "the tie, which it rounds half up; the peer rounds the exact value")
            elif straddle(ours_digits, d_stored, ours_xy[i], theirs_xy[i]):
                kinds.append("framecalc's digits cross the tie")
                notes.append(prefix + f"the double is {short(d_stored, 30)}; framecalc's digits "
                             f"of it, {ours_digits.normalize():f}, lie on the other side of the "
                             "tie")
            else:
                kinds.append("unexplained")
                notes.append(prefix + f"the same double {short(d_stored)}, written differently")
        elif peer == "C" and two_decimals(exact(ext[i]), ROUND_HALF_EVEN) == theirs_xy[i]:
            kinds.append("extended result printed")
            notes.append(prefix + f"the peer prints the extended result {short(exact(ext[i]))} "
                         f"as it is; framecalc rounds it to the double {short(d_stored)} first")
        elif two_decimals(exact(dbl[i]), ROUND_HALF_EVEN) == theirs_xy[i]:
            kinds.append("double arithmetic")
            notes.append(prefix + f"the peer computes in double: {short(exact(dbl[i]))}; the "
                         f"extended computation rounded to double gives {short(d_stored)}")
        elif peer == "pandas":
            kinds.append("pandas' reading")
            notes.append(prefix + "pandas reads the fields as " + " ".join(pandas_reading(line)))
        else:
            kinds.append("unexplained")
            notes.append(prefix + "not explained by the roundings looked at")
    return (", ".join(sorted(set(kinds))), "; ".join(notes))


NUMBER_PREFIX = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?")


def field_readings(fields, peer):
    """What the peer makes of the fields that framecalc does not take as plain numbers."""
    notes = []
    names = ["AX", "AY", "BX", "BY", None, "K"]
    for name, text in zip(names, fields):
        if name is None:
            continue
        try:
            value = float(text)
        except ValueError:
            if "awk" in peer:
                m = NUMBER_PREFIX.match(text)
                notes.append(f'{peer} reads {name} "{text}" as {m.group(0) if m else "0"}')
            continue
        if value in (float("inf"), float("-inf")):
            notes.append(f'{peer} reads {name} "{text}" as {"-" if value < 0 else ""}infinity')
    return notes


def messages_by_line(path):
    found = {}
    with open(path, errors="replace") as f:
        for text in f:
            m = re.match(r"[^:]*:(\d+): ?(.*)", text.rstrip("\n"))
            if m:
                found.setdefault(int(m.group(1)), m.group(2))
    return found


def presence_reason(line, number, ours, theirs, peer, our_messages, their_messages):
    fields = line.split()
    if ours.strip() == "":
        message = our_messages.get(number, "?")
        general = re.sub(r' "[^"]*"', "", message)
        kind = f"framecalc: {general}; {peer} gives a result"
        notes = [f"framecalc: {message}"] + field_readings(fields, peer)
        notes.append(f"{peer} writes {theirs!r}")
        return kind, "; ".join(notes)
    said = their_messages.get(number)
    kind = f"framecalc writes {'an infinity' if 'Inf' in ours else 'a result'}; " \
           f"{peer} gives none"
    notes = [f"framecalc writes {ours!r}"] + field_readings(fields, peer)
    notes.append(f"{peer}: {said}" if said else f"{peer} writes {theirs!r} and says nothing")
    return kind, "; ".join(notes)


def differences(input_path, ours_path, ours_err, peer, theirs_path, theirs_err, batch, work,
                examples=3, as_plain=None):
    with open(input_path) as f:
        records = f.read().split("\n")[1:]
    if as_plain is not None:
        records = [as_plain(line) if line else line for line in records]
    with open(ours_path) as f:
        ours = f.read().split("\n")
    with open(theirs_path) as f:
        theirs = f.read().split("\n")
    out = []
    if len(ours) != len(theirs):
        out.append(f"  {peer}: {len(theirs) - 1} lines against framecalc-batch's {len(ours) - 1}"
                   " (compared up to the shorter)")
    our_messages = messages_by_line(ours_err)
    their_messages = messages_by_line(theirs_err)
    digits, presence = [], []
    for i, (a, b) in enumerate(zip(ours, theirs)):
        if a == b:
            continue
        if (a.strip() == "") != (b.strip() == ""):
            presence.append(i)
        elif a.strip() != "":
            digits.append(i)
    total = len(ours) - 1
    wanted = set()
    for i in digits:
        if "inf" not in (ours[i] + theirs[i]).lower():
            wanted.update(float(v) for v in stored_crossing(records[i])[1])
    digits_of = framecalc_digits(batch, work, sorted(wanted)) if wanted else {}
    out.append(f"{peer}: (a) {len(digits)} of {total} records give other digits, "
               f"(b) {len(presence)} give a result where the other gives none")
    for label, indexes, explain in (
            ("(a)", digits,
             lambda i: digits_reason(records[i], ours[i], theirs[i], peer, digits_of)),
            ("(b)", presence, lambda i: presence_reason(records[i], i + 2, ours[i], theirs[i],
                                                          peer, our_messages, their_messages))):
        if not indexes:
            continue
        kinds = {}
        for i in indexes:
            kind, note = explain(i)
            kinds.setdefault(kind, []).append((i, note))
        for kind, items in sorted(kinds.items(), key=lambda kv: -len(kv[1])):
            out.append(f"  {label} {len(items):7d}  {kind}")
        # Three examples, the kinds in turn.
        shown = 0
        queues = [list(items) for _, items in sorted(kinds.items(), key=lambda kv: -len(kv[1]))]
        while shown < examples and any(queues):
            for q in queues:
                if q and shown < examples:
                    i, note = q.pop(0)
                    out.append(f"      line {i + 2}: {records[i]}")
                    out.append(f"        framecalc-batch {ours[i]!r}  {peer} {theirs[i]!r}")
                    out.append(f"        {note}")
                    shown += 1
    return out


# ---------------------------------------------------------------------------------------------

def median(values):
    return statistics.median(values)


def fmt_rate(per_second):
    return f"{per_second / 1e6:.2f} M" if per_second >= 1e5 else f"{per_second:,.0f}"


def fmt_time(seconds):
    return f"{seconds * 1000:.0f} ms" if seconds < 10 else f"{seconds:.1f} s"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--work", required=True)
    ap.add_argument("--batch", required=True)
    ap.add_argument("--calculator", required=True)
    ap.add_argument("--peer", required=True)
    ap.add_argument("--records", type=int, default=1_000_000)
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--loop-records", type=int, default=200)
    args = ap.parse_args()
    work, n = args.work, args.records

    # Two files of the same records: the plain one ("plain") and the quoted CSV ("quoted").
    sizes = sorted({10_000, 100_000, n})
    paths = {"plain": {}, "quoted": {}}
    for size in sizes:
        paths["plain"][size] = os.path.join(work, f"records-{size}.txt")
        generate(paths["plain"][size], size)
        paths["quoted"][size] = os.path.join(work, f"records-{size}.csv")
        write_quoted(paths["plain"][size], paths["quoted"][size])
    data = paths["plain"][n]
    size_bytes = {}
    for kind in paths:
        with open(paths[kind][n], "rb") as f:  # into the page cache
            size_bytes[kind] = len(f.read())

    env = {"PATH": "/usr/local/bin:/usr/bin:/bin", "LC_ALL": "C",
           "HOME": os.environ.get("HOME", "/")}
    # framecalc-batch is copied next to the C program, so that both come from the same folder.
    batch = os.path.join(work, "framecalc-batch")
    shutil.copy2(args.batch, batch)
    # (name, arguments for an input file, which file). The first six are the table's first rows,
    # on the plain file; the others are framecalc-batch's two other kinds of run and the peers
    # that read the quoted CSV, all in the same rounds.
    programs = [
        ("framecalc-batch", lambda p: [batch, p], "plain"),
        ("C", lambda p: [args.peer, p], "plain"),
        ("mawk", lambda p: ["mawk", AWK, p], "plain"),
        ("gawk", lambda p: ["gawk", AWK, p], "plain"),
        ("Python csv", lambda p: [PYTHON, os.path.join(HERE, "peer_csv.py"), p], "plain"),
        ("pandas", lambda p: [PYTHON, os.path.join(HERE, "peer_pandas.py"), p], "plain"),
        (QUOTED, lambda p: [batch, p], "quoted"),
        (QUOTED_CSV, lambda p: [PYTHON, os.path.join(HERE, "peer_csv.py"), "--csv", p],
         "quoted"),
        (QUOTED_PANDAS, lambda p: [PYTHON, os.path.join(HERE, "peer_pandas.py"), "--csv", p],
         "quoted"),
        (TABLE, lambda p: [batch, "--table", p], "plain"),
    ]
    names = [name for name, _, _ in programs]
    plain_names = names[:6]

    def files(name):
        slug = re.sub(r"\W+", "-", name)
        return os.path.join(work, f"out-{slug}.txt"), os.path.join(work, f"err-{slug}.txt")

    def run(name, argv_of, path):
        out, err = files(name)
        wall, cpu, peak, code = spawn(argv_of(path), path, out, err, env)
        if code not in (0, 1):
            with open(err, errors="replace") as f:
                sys.exit(f"{name} failed with exit status {code}:\n{f.read()[:2000]}")
        return wall, cpu, peak

    # Warm-up: every program (and its libraries, Python's modules) read once.
    for name, argv_of, kind in programs:
        run(name, argv_of, paths[kind][sizes[0]])

    walls = {name: [] for name in names}
    cpus = {name: [] for name in names}
    peaks = {name: [] for name in names}
    digests = {name: set() for name in names}
    order = random.Random()
    started = time.time()
    for _ in range(args.rounds):
        round_programs = list(programs)
        order.shuffle(round_programs)
        for name, argv_of, kind in round_programs:
            wall, cpu, peak = run(name, argv_of, paths[kind][n])
            walls[name].append(wall)
            cpus[name].append(cpu)
            peaks[name].append(peak)
            out, _ = files(name)
            with open(out, "rb") as f:
                digests[name].add(hash(f.read()))
    rounds_seconds = time.time() - started

    # The shell loop: framecalc once a record, its six answers and the Enter on its stdin.
    loop_path = os.path.join(work, "loop.txt")
    with open(data) as f, open(loop_path, "w") as g:
        next(f)
        for _, line in zip(range(args.loop_records), f):
            g.write(line)
    loop_script = ('while read -r ax ay bx by axis k; do'
                   ' printf \'%s\\n%s\\n%s\\n%s\\n%s\\n%s\\n\\n\''
                   ' "$ax" "$ay" "$bx" "$by" "$axis" "$k"'
                   ' | "$1" > /dev/null 2>&1 || true; done')
    loop_wall, loop_cpu, _, _ = spawn(["bash", "-c", loop_script, "loop", args.calculator],
                                      loop_path, os.path.join(work, "loop.out"),
                                      os.path.join(work, "loop.err"), env)

    # framecalc-batch's peak memory for each kind of run and each number of records: the median
    # of three runs (single runs move by a hundred KiB or two, more than the sizes do).
    flat = {}
    for name, options, kind in (("plain", [], "plain"), ("quoted CSV", [], "quoted"),
                                ("--table", ["--table"], "plain")):
        flat[name] = []
        for size in sizes:
            runs = [spawn([batch] + options + [paths[kind][size]], paths[kind][size],
                          os.path.join(work, "flat.out"), os.path.join(work, "flat.err"),
                          env)[2] for _ in range(3)]
            flat[name].append((size, int(median(runs))))

    # ------------------------------------------------------------------ the report
    def version(argv):
        try:
            r = subprocess.run(argv, capture_output=True, text=True, env=env)
            return (r.stdout or r.stderr).splitlines()[0].strip()
        except (OSError, IndexError):
            return "?"

    with open(files("framecalc-batch")[0]) as f:
        failed_records = sum(1 for line in f if line == "\n")
    cpu_model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu_model = line.split(":", 1)[1].strip()
                break
    print(f"Date: {datetime.datetime.utcnow():%Y-%m-%d %H:%M} UTC  ")
    print(f"Machine: {cpu_model}, {os.cpu_count()} CPUs, Linux {platform.release()}, "
          f"load average {open('/proc/loadavg').read().split()[0]} at the end  ")
    out_bytes = os.path.getsize(files("framecalc-batch")[0])
    table_bytes = os.path.getsize(files(TABLE)[0])
    print(f"Records: {n:,} ({size_bytes['plain']:,} bytes, {failed_records:,} failing; per record "
          f"{size_bytes['plain'] / n:.1f} bytes read, {out_bytes / n:.1f} written), "
          f"{args.rounds} rounds of every program in random order ({rounds_seconds:.0f} s)  ")
    print(f"Quoted CSV of the same records: {size_bytes['quoted']:,} bytes "
          f"({size_bytes['quoted'] / n:.1f} a record); --table on the plain file writes "
          f"{table_bytes:,} bytes ({table_bytes / n:.1f} a record)  ")
    print(f"Peers: {version(['gcc', '--version'])} -O2; {version(['mawk', '-W', 'version'])}; "
          f"{version(['gawk', '--version']).split(',')[0]}; Python {platform.python_version()}, "
          f"pandas {version([PYTHON, '-c', 'import pandas; print(pandas.__version__)'])}, "
          f"numpy {np.__version__}; all with LC_ALL=C")
    print()
    print(f"awk one-liner: `awk '{AWK}'`")
    print()
    # A peer's ratio is taken to framecalc-batch's run on the same file.
    base_of = {name: QUOTED if kind == "quoted" else "framecalc-batch"
               for name, _, kind in programs}
    print("| program | wall (median) | CPU (median) | records/s (wall) | peer / framecalc-batch, "
          "wall: median (rounds) | CPU: median | peak memory |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    ratios = {}

    def row(name):
        w, c = median(walls[name]), median(cpus[name])
        base = base_of[name]
        if name in (base, TABLE):
            ratio_text, cpu_ratio = "", ""
        else:
            per_round = [a / b for a, b in zip(walls[name], walls[base])]
            ratios[name] = (w / median(walls[base]), c / median(cpus[base]))
            ratio_text = f"{ratios[name][0]:.2f}× ({min(per_round):.2f}–{max(per_round):.2f})"
            cpu_ratio = f"{ratios[name][1]:.2f}×"
        print(f"| {name} | {fmt_time(w)} | {fmt_time(c)} | {fmt_rate(n / w)} | {ratio_text} | "
              f"{cpu_ratio} | {max(peaks[name]):,} KiB |")

    for name in plain_names:
        row(name)
    base_wall, base_cpu = median(walls["framecalc-batch"]), median(cpus["framecalc-batch"])
    per_record = loop_wall / args.loop_records
    print(f"| shell loop over framecalc, **measured on {args.loop_records} records**, "
          f"extrapolated | {per_record * n:,.0f} s | {loop_cpu / args.loop_records * n:,.0f} s | "
          f"{fmt_rate(1 / per_record)} | {per_record * n / base_wall:,.0f}× | "
          f"{loop_cpu / args.loop_records * n / base_cpu:,.0f}× | |")
    for name in names[6:]:
        row(name)
    print()

    def verdict(ok):
        return "holds" if ok else "misses"

    c_wall, c_cpu = ratios["C"]
    print("| goal | wall | CPU |")
    print("|---|---|---|")
    print(f"| framecalc-batch ≥ 2× faster than the C program | {c_wall:.2f}×: "
          f"{verdict(c_wall >= 2)} | {c_cpu:.2f}×: {verdict(c_cpu >= 2)} |")
    plain_ratios = {name: ratios[name] for name in plain_names[1:]}
    closest_wall = min(plain_ratios.items(), key=lambda kv: kv[1][0])
    closest_cpu = min(plain_ratios.items(), key=lambda kv: kv[1][1])
    print(f"| framecalc-batch faster than every peer | closest {closest_wall[0]} "
          f"{closest_wall[1][0]:.2f}×: {verdict(closest_wall[1][0] > 1)} | closest "
          f"{closest_cpu[0]} {closest_cpu[1][1]:.2f}×: {verdict(closest_cpu[1][1] > 1)} |")
    print(f"| ≥ 5 million records/s | {n / base_wall / 1e6:.2f} M: {verdict(n / base_wall >= 5e6)} "
          f"| {n / base_cpu / 1e6:.2f} M: {verdict(n / base_cpu >= 5e6)} |")
    for name in (QUOTED, TABLE):
        w, c = median(walls[name]), median(cpus[name])
        print(f"| {name}: ≥ 3 million records/s | {n / w / 1e6:.2f} M: {verdict(n / w >= 3e6)} "
              f"| {n / c / 1e6:.2f} M: {verdict(n / c >= 3e6)} |")
    print()
    # Flat: the run of the most records takes at most a tenth more than the run of the fewest
    # (a byte a record would be 1 MB at a million records, more than half the program's peak).
    print("| peak memory of framecalc-batch (median of 3 runs) | " +
          " | ".join(f"{size:,} records" for size in sizes) +
          f" | flat: {sizes[-1]:,} records ≤ 1.1 × {sizes[0]:,} |")
    print("|---|" + "---:|" * len(sizes) + "---|")
    for name, measured in flat.items():
        values = [peak for _, peak in measured]
        print(f"| {name} | " + " | ".join(f"{peak:,} KiB" for peak in values) +
              f" | {verdict(values[-1] <= 1.1 * values[0])} |")
    print()
    unstable = [name for name in names if len(digests[name]) != 1]
    if unstable:
        print(f"Output differed between rounds: {', '.join(unstable)}")
    ours_out, ours_err = files("framecalc-batch")
    for line in same_results(ours_out, ours_err, files(QUOTED), files(TABLE)):
        print(line)
    print()
    print("Where the peers' results differ from framecalc-batch's (last round's output files; "
          "the records of the quoted CSV shown in the plain file's form):")
    print()
    print("```")
    for name in names[1:6]:
        out, err = files(name)
        for line in differences(data, ours_out, ours_err, name, out, err, batch, work):
            print(line)
    print("On the quoted CSV, against framecalc-batch on the quoted CSV:")
    quoted_out, quoted_err = files(QUOTED)
    for name, peer in ((QUOTED_CSV, "Python csv"), (QUOTED_PANDAS, "pandas")):
        out, err = files(name)
        for line in differences(paths["quoted"][n], quoted_out, quoted_err, peer, out, err,
                                batch, work, as_plain=quoted_as_plain):
            print(line)
    print("```")

    # Records typed to land on the roundings where the programs part.
    typed = os.path.join(work, "typed.txt")
    with open(typed, "w") as f:
        f.write("AX AY BX BY AXIS K\n")
        for record in TYPED:
            f.write(record + "\n")
    print()
    print("The same comparison for records typed to land on those roundings (not in the "
          "generated file):")
    print()
    print("```")
    for name, argv_of, kind in programs[:6]:
        run(name, argv_of, typed)
    for name in names[1:6]:
        out, err = files(name)
        for line in differences(typed, ours_out, ours_err, name, out, err, batch, work,
                                examples=len(TYPED)):
            print(line)
    print("```")


# The rows of framecalc-batch's other kinds of run, and of the peers on the quoted CSV.
QUOTED = "framecalc-batch, quoted CSV"
QUOTED_CSV = "Python csv (DictReader), quoted CSV"
QUOTED_PANDAS = "pandas (read_csv defaults), quoted CSV"
TABLE = "framecalc-batch --table"


def same_results(plain, plain_err, quoted, table):
    """Whether framecalc-batch gives the same results on the quoted CSV and with --table as on
    the plain file: the result lines and messages of the quoted run, the X and Y columns of the
    table (its last four columns are X, Y, on_AB and error, blank-separated, quoted as needed)."""
    def messages(path):
        with open(path) as f:
            return [line.split(":", 1)[1] for line in f]

    with open(plain) as f:
        ours = f.read().split("\n")
    with open(quoted[0]) as f:
        same_quoted = f.read().split("\n") == ours
    same_messages = messages(quoted[1]) == messages(plain_err)
    with open(table[0], newline="") as f:
        rows = csv.reader(f, delimiter=" ")
        next(rows)  # the header, with X Y on_AB error added
        columns = ["\t".join(r[-4:-2]) if r[-4:-2] != ["", ""] else "" for r in rows]
    same_table = columns == ours[:-1]
    return [f"framecalc-batch on the quoted CSV: results "
            f"{'the same as' if same_quoted else 'OTHER THAN'} on the plain file, messages "
            f"{'the same' if same_messages else 'OTHER'} (but for the file name).  ",
            f"framecalc-batch --table: X and Y columns "
            f"{'the same as' if same_table else 'OTHER THAN'} the results of the plain run "
            f"({len(columns):,} rows)."]


# Records typed to land on the roundings where the programs part: results that are exactly a tie
# in binary (0.125, -0.375), and results that are ties in decimal (255.525), which the arithmetic
# puts a little above or below the tie, the double arithmetic on one side and the extended one
# on the other; the last record gives the same digits everywhere.
TYPED = [
    "0 0 8 1 X 1",
    "0 -0.375 8 -0.375 X 1",
    "-15 17 -17 -12 X 1.45",
    "7 20 17 -5 X 0.65",
    "13 4 10 0 Y -15.22",
    "-9 -11 -20 -9 Y -12.75",
    "1 2 3 4 X 2",
]

if __name__ == "__main__":
    main()
