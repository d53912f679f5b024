#pragma once

// The contrast of text on a background as the web's accessibility guidelines measure it:
// from 1 (no contrast) to 21 (black on white). Colours are 0x00BBGGRR integers.
namespace qly {

// The relative luminance of a colour, 0 for black to 1 for white.
double relativeLuminance(int bgr);
double contrastRatio(int bgrA, int bgrB);
// Black or white, whichever stands out more on the background.
int readableTextColor(int bgrBackground);

} // namespace qly
