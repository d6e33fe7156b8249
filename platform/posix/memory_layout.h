// Where the backend's large buffers go.
//
// Every page of the program's zero-filled data that a run touches costs it a page fault, the
// dearest single thing in a short run. A buffer that a normal run never touches (the fault
// handler's stack) is put in the large-data section, which the linker places after all the
// ordinary variables, so that the few variables a run uses share a page or two instead of lying
// on either side of it.
#pragma once

#define FRAMECALC_SELDOM_TOUCHED __attribute__((section(".lbss.framecalc")))
