// Conversion of a number whose decimal digits are octal digits (a
// convolutional-code generator such as 133) to its value (91).
#pragma once

namespace tarvio {

// oct2dec(133) = 91, oct2dec(175) = 125. The argument must be a non-negative
// integer whose decimal digits are all 0..7; otherwise std::invalid_argument.
double oct2dec(double octalDigits);

}  // namespace tarvio
