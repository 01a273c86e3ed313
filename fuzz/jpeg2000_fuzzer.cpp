// Fuzz target: the JPEG 2000 reader (JP2 files).
#include "fuzz_decode.h"

BREVANE_DECODER_FUZZER("jp2")
