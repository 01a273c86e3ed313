// Fuzz target: the psd reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("psd")
