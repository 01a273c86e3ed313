// Fuzz target: the metafile header reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("wmf")
