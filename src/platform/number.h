// Decimal text to numbers, the way settings lines and frame-number boxes are read.
#pragma once

#include <cstdint>
#include <string_view>

namespace dotreel {

// The numeric value of a decimal text: blanks (spaces, tabs) around it, an optional sign,
// digits with an optional fractional part. Anything else, the empty text included, throws
// PlatformError(TypeMismatch).
double toNumber(std::string_view text);

// Rounds to the nearest whole number, halves going to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// The same text rounded half to even, as a 16-bit integer; outside -32768..32767 throws
// PlatformError(Overflow). The rounding is done on the decimal digits, exactly.
int16_t toInteger16(std::string_view text);

// The same rounding for a 32-bit result (byte offsets of the frame memory).
int32_t roundToInteger32(double value);

}  // namespace dotreel
