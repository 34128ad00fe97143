// The reading of a reference picture from memory, on any bytes. A refusal
// says why in one line; a picture read is the screen's size, and encoded as
// the tool writes frames it reads back the same.
#include <cstring>
#include <vector>

#include "capture/png.h"
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> rgb(rgb_size), again(rgb_size), encoded(png_capacity);
    Message why;
    // Exactly `size` bytes, so that a read past the end shows.
    const std::vector<uint8_t> bytes(data, data + size);
    if (!decode_png(bytes.data(), size, rgb.data(), why)) {
        FUZZ_ASSERT(why.text[0] != '\0', "refused without a reason");
        FUZZ_ASSERT(std::strchr(why.text, '\n') == nullptr, "a reason of several lines: %s", why.text);
        return 0;
    }
    const size_t encoded_size = encode_png(rgb.data(), encoded.data(), why);
    FUZZ_ASSERT(encoded_size > 0, "a picture read cannot be written: %s", why.text);
    FUZZ_ASSERT(decode_png(encoded.data(), encoded_size, again.data(), why), "a picture written cannot be read: %s",
                why.text);
    FUZZ_ASSERT(again == rgb, "a picture written reads back otherwise");
    return 0;
}
