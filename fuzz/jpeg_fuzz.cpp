// The JPEG loader's use of libjpeg: any bytes as a picture file. A load either
// succeeds with a picture of the size the header gives or fails with a reason;
// it never ends the process and never leaves half an image behind.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "image/dib_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::MemoryFile file(data, size);
    if (!file.Ok()) return 0;
    CDibImage image;
    const OpResult result = image.LoadJpeg(file.Path());
    if (!result && result.message.empty()) std::abort();  // every refusal says why
    if (!result && image.HasPixels()) std::abort();
    return 0;
}
