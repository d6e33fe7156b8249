#include "calculator/frame_intersection.h"

#include "numconv/fpu_control.h"

namespace {

// One step of the computation. Each step is checked on its own, so that a fault surfaces at the
// operation that caused it, in the order of the steps, before the next one is formed.
inline Extended Subtract(Extended a, Extended b) { return CheckedResult(a - b); }
inline Extended Divide(Extended a, Extended b) { return CheckedResult(a / b); }
inline Extended Multiply(Extended a, Extended b) { return CheckedResult(a * b); }
inline Extended Add(Extended a, Extended b) { return CheckedResult(a + b); }

// (known - base) * ((farOther - baseOther) / (far - base)) + baseOther, in exactly this grouping:
// the quotient of the two differences first, then the product with the offset, the base last.
Extended Intersect(Extended base, Extended baseOther, Extended far, Extended farOther,
                   Extended known) {
  const Extended offset = Subtract(known, base);
  const Extended rise = Subtract(farOther, baseOther);
  const Extended run = Subtract(far, base);
  const Extended slope = Divide(rise, run);
  const Extended product = Multiply(offset, slope);
  return Add(product, baseOther);
}

}  // namespace

double FrameIntersection(KnownAxis axis, double pointAX, double pointAY, double pointBX,
                         double pointBY, double knownCoordinate) {
  const Extended r = axis == KnownAxis::X
                         ? Intersect(pointAX, pointAY, pointBX, pointBY, knownCoordinate)
                         : Intersect(pointAY, pointAX, pointBY, pointBX, knownCoordinate);
  // The one rounding to double; an overflow faults at this store.
  return StoreToDouble(r);
}
