// The powers of ten that both arithmetics share: the exact ones of a double. (The extended
// tables belong to each arithmetic's folder, numconv/x87/ or numconv/soft/.)
#include "numconv/powers_of_ten.h"

const double SignedExactDoublePowersOfTen[2][23] = {
    {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22},
    {-1e0,  -1e1,  -1e2,  -1e3,  -1e4,  -1e5,  -1e6,  -1e7,  -1e8,  -1e9,  -1e10, -1e11,
     -1e12, -1e13, -1e14, -1e15, -1e16, -1e17, -1e18, -1e19, -1e20, -1e21, -1e22},
};
