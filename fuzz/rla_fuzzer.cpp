// Fuzz target: the rla reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("rla")
