// Fuzz target: the eps reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("eps")
