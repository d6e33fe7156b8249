// Where line AB crosses a frame line of the map sheet.
#pragma once

enum class KnownAxis { X, Y };

// The other coordinate of the crossing point of line AB with the frame line X = known
// (KnownAxis::X) or Y = known (KnownAxis::Y), computed in extended precision in a fixed grouping
// and rounded once to double. Division by zero, invalid operations and overflow of the stored
// result fault.
double FrameIntersection(KnownAxis axis, double pointAX, double pointAY, double pointBX,
                         double pointBY, double knownCoordinate);
