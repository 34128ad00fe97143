// The reading of a reference picture from memory, on any bytes. A refusal
// says why in one line; a picture read is the screen's size by its header,
// and encoded as the tool writes frames it reads back the same.
#include <cstring>
#include <vector>

#include "capture/png.h"
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> rgb(rgb_size), again(rgb_size), encoded(png_capacity);
    Text why;
    // Exactly `size` bytes, so that a read past the end shows.
    const std::vector<uint8_t> bytes(data, data + size);
    if (!decode_png(bytes.data(), size, rgb.data(), why)) {
        FUZZ_ASSERT(why.text[0] != '\0', "refused without a reason");
        FUZZ_ASSERT(std::strchr(why.text, '\n') == nullptr, "a reason of several lines: %s", why.text);
        return 0;
    }
    // libpng reads nothing before the header chunk, whose size fields sit at
    // bytes 16..23.
    const auto field = [&](size_t at) {
        return static_cast<uint32_t>(data[at]) << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
    };
    FUZZ_ASSERT(size >= 24 && field(16) == screen_width && field(20) == screen_height,
                "a picture of another size read");
    const size_t encoded_size = encode_png(rgb.data(), encoded.data(), why);
    FUZZ_ASSERT(encoded_size > 0, "a picture read cannot be written: %s", why.text);
    FUZZ_ASSERT(decode_png(encoded.data(), encoded_size, again.data(), why), "a picture written cannot be read: %s",
                why.text);
    FUZZ_ASSERT(again == rgb, "a picture written reads back otherwise");
    return 0;
}
