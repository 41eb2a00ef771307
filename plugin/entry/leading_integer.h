// Reading the leading integer of a text, as C's atoi reads it. Pure text handling.
#pragma once

namespace tuft {

// Leading blanks, one optional sign, then digits up to the first other character;
// 0 for no digits or no text. Saturates instead of overflowing.
long long leadingInteger(const char *text);

} // namespace tuft
