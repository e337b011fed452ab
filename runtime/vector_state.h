// Clearing the upper halves of the x86 vector registers. Code built for
// 256-bit vectors that returns without clearing them (the window toolkit's
// image fill does) leaves the processor in a state where every later SSE
// instruction on that thread pays a penalty until something clears it: on
// this project's build machines a logarithm then costs twenty times as much.
// Long numeric loops that may run on a thread that also paints windows call
// this first.
#pragma once

namespace tarvio {

// Clears the upper vector state (vzeroupper) when the processor has 256-bit
// vectors; does nothing elsewhere. Values in the 128-bit registers that SSE
// code uses are kept.
void clear_upper_vector_state();

}  // namespace tarvio
