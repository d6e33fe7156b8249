/* The C program a user would write instead of framecalc-batch: the same records
 * ("AX AY BX BY AXIS K", a header line first), the same crossing, one output line per record.
 *
 *   gcc -O2 -o peer peer.c && ./peer records.txt > results.txt
 *
 * Written the plain way: fgets into a line buffer, strtok for the fields, strtod for the numbers,
 * the arithmetic in long double, printf for the results. Each record gives one line, an empty one
 * when the record fails, so that line N of the results belongs to record N; the reason goes to
 * standard error (unbuffered, as stderr is). The exit status is 1 when a record failed.
 *
 * What counts as a failure here:
 * - a line with other than six fields, or one too long for the buffer;
 * - a field that strtod does not read whole. Only the end pointer is checked: strtod's ERANGE is
 *   not, so "1e400" reads as infinity (and "1e-400" as 0) and is caught below, if at all, by the
 *   check of the result;
 * - a zero divisor (AB parallel to the frame line, or A equal to B): checked before dividing, as
 *   one does, rather than printing inf or nan;
 * - a result that is not finite (an infinite field, or an overflow of the arithmetic).
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *const separators = " \t,;\r\n";
static const char *const field_names[6] = {"AX", "AY", "BX", "BY", "AXIS", "K"};

/* A whole field as a number, rounded to double as stored, then widened. */
static int read_number(const char *text, long double *value) {
  char *end;
  double number = strtod(text, &end);
  if (end == text || *end != '\0') return 0;
  *value = number;
  return 1;
}

int main(int argc, char **argv) {
  const char *name = argc > 1 ? argv[1] : "-";
  FILE *in = argc > 1 ? fopen(argv[1], "r") : stdin;
  if (in == NULL) {
    perror(name);
    return 2;
  }
  char line[4096];
  unsigned long number = 0;
  int failed = 0;
  while (fgets(line, sizeof line, in) != NULL) {
    ++number;
    if (number == 1) continue; /* the header */
    if (strchr(line, '\n') == NULL && !feof(in)) {
      int c;
      while ((c = getc(in)) != EOF && c != '\n') {
      }
      fprintf(stderr, "%s:%lu: line too long\n", name, number);
      putchar('\n');
      failed = 1;
      continue;
    }
    char *field[7];
    int count = 0;
    for (char *token = strtok(line, separators); token != NULL && count < 7;
         token = strtok(NULL, separators)) {
      field[count++] = token;
    }
    if (count != 6) {
      fprintf(stderr, "%s:%lu: %d fields, 6 expected\n", name, number, count);
      putchar('\n');
      failed = 1;
      continue;
    }
    static const int number_fields[5] = {0, 1, 2, 3, 5};
    long double v[6];
    int bad = -1;
    for (int i = 0; i < 5 && bad < 0; ++i) {
      if (!read_number(field[number_fields[i]], &v[number_fields[i]])) bad = number_fields[i];
    }
    if (bad >= 0) {
      fprintf(stderr, "%s:%lu: %s \"%s\": not a number\n", name, number, field_names[bad],
              field[bad]);
      putchar('\n');
      failed = 1;
      continue;
    }
    const long double ax = v[0], ay = v[1], bx = v[2], by = v[3], k = v[5];
    /* The known coordinate's axis: A's and B's coordinates on it, then on the other axis. */
    const int known_is_x = strcmp(field[4], "X") == 0;
    const long double base = known_is_x ? ax : ay, far = known_is_x ? bx : by;
    const long double base_other = known_is_x ? ay : ax, far_other = known_is_x ? by : bx;
    const long double run = far - base;
    if (run == 0) {
      fprintf(stderr, "%s:%lu: division by zero (AB parallel to %s = K, or A = B)\n", name, number,
              known_is_x ? "X" : "Y");
      putchar('\n');
      failed = 1;
      continue;
    }
    const long double other = (k - base) * ((far_other - base_other) / run) + base_other;
    const long double x = known_is_x ? k : other, y = known_is_x ? other : k;
    if (!isfinite(x) || !isfinite(y)) {
      fprintf(stderr, "%s:%lu: the crossing is not finite\n", name, number);
      putchar('\n');
      failed = 1;
      continue;
    }
    printf("%.2Lf\t%.2Lf\n", x, y);
  }
  if (ferror(in)) {
    perror(name);
    return 2;
  }
  if (fflush(stdout) != 0 || ferror(stdout)) {
    perror("standard output");
    return 2;
  }
  return failed;
}
