// Fuzz target: the BMP reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("bmp")
