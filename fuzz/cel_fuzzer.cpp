// Fuzz target: the cel reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("cel")
