// The conversation with the operator: two points, the known frame coordinate, the crossing point.
#pragma once

#include <string>

// The program-wide values of the dialogue, in their order of declaration.
extern double PointAX;
extern double PointBX;
extern double PointAY;
extern double PointBY;
extern double KnownCoordinate;
extern double ResultY;
extern double ResultX;
extern std::string AxisAnswer;

// Runs the whole dialogue once and ends the program with exit code 0; never returns.
[[noreturn]] void CalculatorDialogue();
