// Fuzz target: the ico reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("ico")
