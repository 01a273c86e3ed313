// Fuzz target: the pcx reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("pcx")
