/* The peer of a whole framecalc run: the least a C program needs to read the same six lines with
   stdio and print the same bytes (the example input's answer takes the X branch). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static double read_number(void) {
  char line[256];
  if (!fgets(line, sizeof line, stdin)) return 0.0;
  return strtod(line, NULL);
}

int main(void) {
  char answer[256] = "";
  double ax, ay, bx, by, known, result;
  fputs("Enter the X coordinate of point A: \r\n", stdout);
  ax = read_number();
  fputs("Enter the Y coordinate of point A: \r\n", stdout);
  ay = read_number();
  fputs("\r\nEnter the X coordinate of point B: \r\n", stdout);
  bx = read_number();
  fputs("Enter the Y coordinate of point B: \r\n", stdout);
  by = read_number();
  fputs("\r\nChoose a well-known coordinate of the map frame corner <X/Y> \r\n", stdout);
  if (fgets(answer, sizeof answer, stdin)) answer[strcspn(answer, "\r\n")] = 0;
  printf("\r\nEnter the %s coordinate of the map frame corner\r\n", answer);
  known = read_number();
  fputs("\r\n\r\n\r\n\r\nThe coordinate: \r\n", stdout);
  if (strcmp(answer, "X") == 0) {
    result = (known - ax) * ((by - ay) / (bx - ax)) + ay;
    printf("X= %5.2fm\r\nY= %5.2fm\r\n", known, result);
  } else {
    result = (known - ay) * ((bx - ax) / (by - ay)) + ax;
    printf("X= %5.2fm\r\nY= %5.2fm\r\n", result, known);
  }
  fputs("\r\n\r\n\r\n\r\n\r\n\r\n*Press Enter to exit*\r\n", stdout);
  (void)read_number();
  return 0;
}
