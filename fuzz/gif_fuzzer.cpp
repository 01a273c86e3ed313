// Fuzz target: the gif reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("gif")
