// Fuzz target: the psp reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("psp")
