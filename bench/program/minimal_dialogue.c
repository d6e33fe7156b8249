/* The peer of a whole framecalc run: the least a C program needs to hold the same dialogue with
   stdio and print the same bytes. It reads its numbers with scanf("%Lf") (extended, as framecalc
   does), computes in long double, stores the coordinates as doubles and prints them with printf.
   Built with -O2 -static, it pays no dynamic loader either. */
#include <stdio.h>
#include <string.h>

/* One number, then the rest of its line. */
static long double read_number(void) {
  long double value = 0.0L;
  if (scanf("%Lf", &value) != 1) value = 0.0L;
  if (scanf("%*[^\n]") == EOF) return value;
  (void)getchar();
  return value;
}

int main(void) {
  char answer[256] = "";
  double ax, ay, bx, by, known, result;
  fputs("Enter the X coordinate of point A: \r\n", stdout);
  ax = (double)read_number();
  fputs("Enter the Y coordinate of point A: \r\n", stdout);
  ay = (double)read_number();
  fputs("\r\nEnter the X coordinate of point B: \r\n", stdout);
  bx = (double)read_number();
  fputs("Enter the Y coordinate of point B: \r\n", stdout);
  by = (double)read_number();
  fputs("\r\nChoose a well-known coordinate of the map frame corner <X/Y> \r\n", stdout);
  if (fgets(answer, sizeof answer, stdin)) answer[strcspn(answer, "\r\n")] = 0;
  printf("\r\nEnter the %s coordinate of the map frame corner\r\n", answer);
  known = (double)read_number();
  fputs("\r\n\r\n\r\n\r\nThe coordinate: \r\n", stdout);
  if (strcmp(answer, "X") == 0) {
    result =
        (double)(((long double)known - ax) * (((long double)by - ay) / ((long double)bx - ax)) +
                 ay);
    printf("X= %5.2fm\r\nY= %5.2fm\r\n", known, result);
  } else {
    result =
        (double)(((long double)known - ay) * (((long double)bx - ax) / ((long double)by - ay)) +
                 ax);
    printf("X= %5.2fm\r\nY= %5.2fm\r\n", result, known);
  }
  fputs("\r\n\r\n\r\n\r\n\r\n\r\n*Press Enter to exit*\r\n", stdout);
  for (int c = getchar(); c != EOF && c != '\n'; c = getchar()) {
  }
  return 0;
}
