// Headerless raw images and the OpenGL textures made from them.
//
// File format: width x height pixels of `channels` bytes each (1 = luminance, 3 = R, G, B,
// 4 = R, G, B, A), rows one after the other with no header and no padding. The rows go to OpenGL
// in file order, so the file's first row is texture row t = 0, the bottom of a textured quad.
// The caller supplies the size; the file does not store it.
#pragma once

#include <cstddef>
#include <vector>

#include <GL/gl.h>

class RawImage {
public:
    // The file's bytes between load and makeTexture; empty otherwise.
    std::vector<unsigned char> pixels;
    // 0 until makeTexture generates a texture name.
    GLuint textureId = 0;

    RawImage() = default;
    RawImage(const RawImage&) = delete;
    RawImage& operator=(const RawImage&) = delete;
    RawImage(RawImage&&) = default;
    RawImage& operator=(RawImage&&) = default;

    // Reads width x height x channels bytes from path into pixels. Prints
    // "Texture file not found: <path>...Quitting." (no line end) and returns false when the file
    // cannot be opened or read, and a message naming the file and both lengths when it holds
    // fewer bytes than that; a failed load keeps no pixels. A file longer than needed is read
    // only as far as needed.
    bool load(const char* path, int width, int height, int channels);

    // Generates and binds a GL_TEXTURE_2D name (linear filtering, no mipmaps) and uploads the
    // loaded pixels to it: 1 channel as luminance (internal format 1), 3 as RGB (3), 4 as RGBA
    // (4). Releases the pixels and returns true. Any other channel count prints
    // "Invalid Number of Channels\n", releases the pixels and returns false, leaving the name
    // bound with no image; so does a size that is not the loaded one (with its own message),
    // so OpenGL never reads past or outside the loaded bytes. Needs a current GL context.
    bool makeTexture(int width, int height, int channels);

    bool hasPixels() const { return !pixels.empty(); }
};

// width x height x channels, or 0 when a dimension is not positive or the product does not fit
// in memory.
std::size_t rawImageSize(int width, int height, int channels);
