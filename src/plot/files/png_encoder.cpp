#include "plot/files/png_encoder.hpp"

#include <array>
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace detrend::plot::files {
namespace {

// libpng's errors: the message is kept and the encoder left by longjmp.
struct PngJob {
    std::string* out;
    std::jmp_buf jump;
    char message[128];
};

[[noreturn]] void pngError(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message != nullptr ? message : "?");
    std::longjmp(job->jump, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    bool stored = true;
    try {
        static_cast<PngJob*>(png_get_io_ptr(png))->out->append(reinterpret_cast<const char*>(data), length);
    } catch (...) {
        stored = false;
    }
    if (!stored) png_error(png, "out of memory");
}

void pngFlush(png_structp) {}

}  // namespace

// Pixels mostly repeat their left neighbour, and the others are looked up in
// a small hash table.
bool toPalette(const unsigned char* data, int width, int height, int stride, std::vector<png_color>& palette,
               std::vector<unsigned char>& indices) {
    constexpr std::uint32_t none = 0xFFFFFFFF;  // no colour: the keys are 0x00RRGGBB
    constexpr unsigned bits = 10, mask = (1u << bits) - 1;
    std::array<std::uint32_t, 1u << bits> keys;
    std::array<unsigned char, 1u << bits> values{};
    keys.fill(none);
    indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // The previous pixel as the surface holds it, unused byte and all; at
    // first unlike the first pixel, which is then looked up.
    std::uint32_t last;
    std::memcpy(&last, data, sizeof last);
    last = ~last;
    unsigned char lastIndex = 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        unsigned char* out = indices.data() + static_cast<std::ptrdiff_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            std::uint32_t word;
            std::memcpy(&word, row + 4 * x, sizeof word);
            if (word != last) {
                const std::uint32_t key = word & 0xFFFFFF;
                unsigned slot = (key * 2654435761u) >> (32 - bits);
                while (keys[slot] != key && keys[slot] != none) slot = (slot + 1) & mask;
                if (keys[slot] == none) {
                    if (palette.size() == 256) return false;
                    keys[slot] = key;
                    values[slot] = static_cast<unsigned char>(palette.size());
                    palette.push_back(png_color{static_cast<png_byte>(key >> 16), static_cast<png_byte>(key >> 8),
                                                static_cast<png_byte>(key)});
                }
                last = word;
                lastIndex = values[slot];
            }
            out[x] = lastIndex;
        }
    }
    return true;
}

base::Status encodePng(cairo_surface_t* image, std::string& out) {
    const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
    const int stride = cairo_image_surface_get_stride(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    std::vector<png_color> palette;
    std::vector<unsigned char> indices;
    const bool indexed = toPalette(data, width, height, stride, palette, indices);

    PngJob job{&out, {}, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, pngError, pngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return base::Status::failure("out of memory");
    }
    if (setjmp(job.jump) != 0) {
        png_destroy_write_struct(&png, &info);
        return base::Status::failure(job.message);
    }
    png_set_write_fn(png, &job, pngWrite, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    // Filtering gains little on palette indices; zlib's level 3 is as fast
    // as level 1 here, and a third smaller.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 3);
    png_write_info(png, info);
    if (indexed) {
        for (int y = 0; y < height; ++y) png_write_row(png, indices.data() + static_cast<std::ptrdiff_t>(y) * width);
    } else {
        // A pixel of cairo's is one native 32-bit word 0xXXRRGGBB; libpng
        // drops the unused byte and puts the others in order.
        if constexpr (std::endian::native == std::endian::little) {
            png_set_filler(png, 0, PNG_FILLER_AFTER);
            png_set_bgr(png);
        } else {
            png_set_filler(png, 0, PNG_FILLER_BEFORE);
        }
        for (int y = 0; y < height; ++y) png_write_row(png, data + static_cast<std::ptrdiff_t>(y) * stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return base::Status::success();
}

}  // namespace detrend::plot::files
