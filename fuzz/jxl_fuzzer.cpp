// Fuzz target: the jxl reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("jxl")
