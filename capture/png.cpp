// Pictures: the in-memory target read back as RGB, PNG files through
// libpng (written with its full interface, read with the simplified one),
// and the pixel hash that names a picture.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "capture/png.h"

namespace {

// A field of `bits` bits widened to 8, as the golden pictures were first
// recorded: 2- and 3-bit fields to the nearest value, wider ones rounded
// down.
uint8_t widen(uint32_t field, int bits) {
    const uint32_t top = (1u << bits) - 1;
    return static_cast<uint8_t>(bits <= 3 ? (field * 255 + top / 2) / top : field * 255 / top);
}

// One channel of a layout: where its field lies, and each field value
// widened, worked out once per picture rather than once per pixel.
struct Channel {
    uint32_t shift;
    uint32_t mask;
    uint8_t wide[256];
};

Channel channel(uint8_t loss, uint8_t shift) {
    Channel c{};
    const int bits = 8 - loss;
    if (bits <= 0 || shift > 31) return c;  // contributes nothing: every value reads as 0
    c.shift = shift;
    c.mask = (1u << bits) - 1;
    for (uint32_t field = 0; field <= c.mask; ++field) c.wide[field] = widen(field, bits);
    return c;
}

uint8_t read(const Channel& c, uint32_t value) { return c.wide[(value >> c.shift) & c.mask]; }

// The encoded bytes go into the caller's buffer; past its end they are
// dropped and the picture counts as failed.
struct Sink {
    uint8_t* data;
    size_t size;
    bool overflow;
};

void sink_write(png_structp png, png_bytep bytes, size_t count) {
    Sink* sink = static_cast<Sink*>(png_get_io_ptr(png));
    if (sink->overflow || count > static_cast<size_t>(png_capacity) - sink->size) {
        sink->overflow = true;
        return;
    }
    std::memcpy(sink->data + sink->size, bytes, count);
    sink->size += count;
}

void sink_flush(png_structp /*png*/) {}

// libpng's errors end the encoding through the jump set in encode_png,
// their text kept in the caller's message; its warnings are not for users.
[[noreturn]] void encode_failed(png_structp png, png_const_charp text) {
    format(*static_cast<Text*>(png_get_error_ptr(png)), "%s", text);
    png_longjmp(png, 1);
}

void encode_warned(png_structp /*png*/, png_const_charp /*text*/) {}

// libpng's words for data that ends too soon, read from memory.
bool cut_short(const png_image& image) { return std::strcmp(image.message, "read beyond end of data") == 0; }

}  // namespace

void picture_rgb(const PixelLayout& layout, uint8_t* rgb) {
    const int bytes = layout.bytes_per_pixel;
    const Channel red = channel(layout.red_loss, layout.red_shift);
    const Channel green = channel(layout.green_loss, layout.green_shift);
    const Channel blue = channel(layout.blue_loss, layout.blue_shift);
    for (int y = 0; y < screen_height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(layout.pixels) + layout.pitch * y;
        for (int x = 0; x < screen_width; ++x) {
            const uint8_t* at = row + bytes * x;
            uint32_t value = 0;
            switch (bytes) {
            case 1: value = at[0]; break;
            case 2: {
                uint16_t v;
                std::memcpy(&v, at, 2);
                value = v;
                break;
            }
            // The 3-byte converter stores the least significant byte first.
            case 3: value = at[0] | (at[1] << 8) | (static_cast<uint32_t>(at[2]) << 16); break;
            default: std::memcpy(&value, at, 4); break;
            }
            uint8_t* out = rgb + (y * screen_width + x) * 3;
            out[0] = read(red, value);
            out[1] = read(green, value);
            out[2] = read(blue, value);
        }
    }
}

// Frame dumps are written far more often than read. zlib's fastest level
// with no row filter takes a sixth of the time of libpng's defaults (level
// 6, every filter tried on each row); the files stay near the same size
// (the tour's first 600 frames a twentieth smaller, its first 6000 an eighth
// larger).
// Only POD locals live across the setjmp, none changed after it, so the jump
// back skips no destructor and reads no stale value.
// NOLINTNEXTLINE(readability-non-const-parameter): written through the sink
size_t encode_png(const uint8_t* rgb, uint8_t* out, Text& why) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, encode_failed, encode_warned);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        format(why, "out of memory");
        return 0;
    }
    Sink sink{out, 0, false};
    png_bytep rows[screen_height];
    for (int y = 0; y < screen_height; ++y) rows[y] = const_cast<uint8_t*>(rgb) + y * screen_width * 3;
    if (setjmp(png_jmpbuf(png))) {  // NOLINT(cert-err52-cpp): libpng reports errors by longjmp
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, &sink, sink_write, sink_flush);
    png_set_IHDR(png, info, screen_width, screen_height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (sink.overflow) {
        format(why, "the encoded picture is larger than %d bytes", png_capacity);
        return 0;
    }
    return sink.size;
}

// Encoded in memory, then written in one go, so the write calls' own error
// (a full disk, a file-size limit) names the cause.
bool write_png(const char* path, const uint8_t* rgb, Text& why) {
    static uint8_t encoded[png_capacity];
    const size_t size = encode_png(rgb, encoded, why);
    return size > 0 && write_file(path, encoded, size, why);
}

bool decode_png(const uint8_t* data, size_t size, uint8_t* rgb, Text& why) {
    why.text[0] = '\0';
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    // The header alone is read before the size is checked, so a file that
    // claims a huge picture reserves nothing.
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        return refuse(why, "%s", cut_short(image) ? "cut short" : image.message);
    }
    if (image.width != screen_width || image.height != screen_height) {
        format(why, "it is %u x %u pixels, not %d x %d", image.width, image.height, screen_width, screen_height);
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    if (png_image_finish_read(&image, nullptr, rgb, screen_width * 3, nullptr)) return true;
    return refuse(why, "%s", cut_short(image) ? "cut short" : image.message);
}

bool read_png(const char* path, uint8_t* rgb, Text& why) {
    why.text[0] = '\0';
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        if (errno != ENOENT) format(why, "%s", std::strerror(errno));
        return false;
    }
    // Each worker its own buffer, kept for the next picture.
    thread_local std::vector<uint8_t> bytes;
    bytes.resize(png_capacity);
    size_t size = 0;
    for (size_t n = 1; n > 0 && size <= max_png_file_bytes;) {
        if (size == bytes.size()) bytes.resize(std::min(bytes.size() * 2, max_png_file_bytes + 1));
        n = std::fread(bytes.data() + size, 1, bytes.size() - size, file);
        size += n;
    }
    const int error = errno;
    const bool failed = std::ferror(file) != 0;
    static_cast<void>(std::fclose(file));  // only read: a failed close loses nothing
    if (failed) return refuse(why, "%s", std::strerror(error));
    if (size > max_png_file_bytes) return refuse(why, "larger than 64 MiB");
    return decode_png(bytes.data(), size, rgb, why);
}

uint64_t picture_hash(const uint8_t* rgb) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (int32_t i = 0; i < rgb_size; ++i) {
        hash ^= rgb[i];
        hash *= 0x100000001b3u;
    }
    return hash;
}
