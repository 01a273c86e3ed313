// Fuzz target: the cut reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("cut")
