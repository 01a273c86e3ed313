// Fuzz target: the tiff reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("tif")
