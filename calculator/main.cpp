// framecalc: where a line through two points crosses a frame line of a map sheet.
#include "calculator/dialogue.h"
#include "runtime/lifetime.h"

int main() {
  // Command-line arguments are ignored.
  ProgramEntry(&CalculatorDialogue);
}
