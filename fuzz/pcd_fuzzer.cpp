// Fuzz target: the pcd reader.
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("pcd")
