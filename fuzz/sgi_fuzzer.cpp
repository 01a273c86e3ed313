// Fuzz target: the sgi reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("sgi")
