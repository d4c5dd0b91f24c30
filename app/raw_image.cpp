#include "app/raw_image.h"

#include <cstdint>
#include <cstdio>
#include <limits>

namespace {

// Empties the buffer and hands its memory back: the pixels are dropped for good.
void releasePixels(std::vector<unsigned char>& pixels) {
    pixels.clear();
    pixels.shrink_to_fit();
}

}  // namespace

std::size_t rawImageSize(int width, int height, int channels) {
    if (width <= 0 || height <= 0 || channels <= 0) return 0;
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    const auto c = static_cast<std::uint64_t>(channels);
    // Each factor is below 2^31, so w * h fits in 64 bits; check the last product.
    const std::uint64_t wh = w * h;
    if (wh > std::numeric_limits<std::uint64_t>::max() / c) return 0;
    const std::uint64_t bytes = wh * c;
    if (bytes > std::numeric_limits<std::size_t>::max()) return 0;
    return static_cast<std::size_t>(bytes);
}

bool RawImage::load(const char* path, int width, int height, int channels) {
    releasePixels(pixels);

    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::printf("Texture file not found: %s...Quitting.", path);
        return false;
    }

    const std::size_t wanted = rawImageSize(width, height, channels);
    if (wanted == 0) {
        std::fclose(file);
        std::printf("Invalid texture size %d x %d x %d for %s...Quitting.\n", width, height,
                    channels, path);
        return false;
    }

    pixels.resize(wanted);
    const std::size_t got = std::fread(pixels.data(), 1, wanted, file);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);

    if (readError) {
        // Opened but not readable (a directory, an I/O error): as good as missing.
        releasePixels(pixels);
        std::printf("Texture file not found: %s...Quitting.", path);
        return false;
    }
    if (got != wanted) {
        // The tail of the buffer would have no defined content: keep nothing.
        releasePixels(pixels);
        std::printf("Texture file too short: %s holds %zu of the %zu bytes needed...Quitting.\n",
                    path, got, wanted);
        return false;
    }
    return true;
}

bool RawImage::makeTexture(int width, int height, int channels) {
    glGenTextures(1, &textureId);
    glBindTexture(GL_TEXTURE_2D, textureId);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

    GLint internalFormat = 0;
    GLenum pixelFormat = 0;
    switch (channels) {
        case 1:
            internalFormat = 1;
            pixelFormat = GL_LUMINANCE;
            break;
        case 3:
            internalFormat = 3;
            pixelFormat = GL_RGB;
            break;
        case 4:
            internalFormat = 4;
            pixelFormat = GL_RGBA;
            break;
        default:
            std::printf("Invalid Number of Channels\n");
            releasePixels(pixels);
            return false;
    }

    const std::size_t wanted = rawImageSize(width, height, channels);
    if (wanted == 0 || wanted != pixels.size()) {
        std::printf("Texture size %d x %d x %d does not match the %zu bytes loaded\n", width,
                    height, channels, pixels.size());
        releasePixels(pixels);
        return false;
    }

    // The rows are packed without padding; OpenGL's default row alignment of 4 would read past
    // the buffer for rows whose length is not a multiple of 4.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, pixelFormat, GL_UNSIGNED_BYTE,
                 pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);

    releasePixels(pixels);
    return true;
}
