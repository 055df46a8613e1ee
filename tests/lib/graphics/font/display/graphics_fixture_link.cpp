// The headless graphics of the screen side's tests, shared rather than
// copied: its helpers are built into this test program too.
#include "tests/lib/graphics/system/graphics_fixture.cpp"
