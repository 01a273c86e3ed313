// Fuzz target: the pnm reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("pnm")
