#include "app/raw_image.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <GL/gl.h>

#include "gl_test_support.h"

namespace gltest {
namespace {

class RawImageTest : public GlTest {
protected:
    // A file of n bytes 0, 1, 2, ... (mod 251) in the scratch directory.
    std::string file(const std::string& name, std::size_t n) {
        std::vector<unsigned char> bytes(n);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<unsigned char>(i % 251);
        const std::filesystem::path path = scratchDir() / name;
        writeFile(path, bytes);
        return path.string();
    }

    static GLint level0(GLenum parameter) {
        GLint value = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
        return value;
    }
};

TEST_F(RawImageTest, LoadReadsExactlyTheNeededBytes) {
    RawImage image;
    const std::string path = file("long.raw", 8 * 4 * 3 + 17);
    ASSERT_TRUE(image.load(path.c_str(), 8, 4, 3));
    ASSERT_EQ(image.pixels.size(), 96u);
    EXPECT_EQ(image.pixels[0], 0);
    EXPECT_EQ(image.pixels[95], 95);
    // Loaded again at a smaller size: the smaller image alone, which uploads as such.
    ASSERT_TRUE(image.load(path.c_str(), 2, 2, 3));
    EXPECT_EQ(image.pixels.size(), 12u);
    EXPECT_TRUE(image.makeTexture(2, 2, 3));
}

TEST_F(RawImageTest, MissingFileSaysSoAndKeepsNothing) {
    // Not even what a load before it read.
    RawImage image;
    const std::string good = file("good.raw", 48);
    ASSERT_TRUE(image.load(good.c_str(), 4, 4, 3));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.load("no/such/file.raw", 4, 4, 3));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Texture file not found: no/such/file.raw...Quitting.");
    EXPECT_FALSE(image.hasPixels());

    // A directory opens but cannot be read: the same message.
    ASSERT_TRUE(image.load(good.c_str(), 4, 4, 3));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.load(scratchDir().c_str(), 4, 4, 3));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Texture file not found: " + scratchDir().string() + "...Quitting.");
    EXPECT_FALSE(image.hasPixels());
}

TEST_F(RawImageTest, ShortFileNamesTheFileAndKeepsNothing) {
    RawImage image;
    ASSERT_TRUE(image.load(file("full.raw", 48).c_str(), 4, 4, 3));
    const std::string path = file("short.raw", 47);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.load(path.c_str(), 4, 4, 3));
    const std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("too short"), std::string::npos) << output;
    EXPECT_NE(output.find(path), std::string::npos) << output;
    EXPECT_NE(output.find("47 of the 48"), std::string::npos) << output;
    EXPECT_FALSE(image.hasPixels());

    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.load(file("empty.raw", 0).c_str(), 4, 4, 3));
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(image.hasPixels());
}

TEST_F(RawImageTest, NonPositiveSizeIsRefused) {
    RawImage image;
    const std::string path = file("any.raw", 64);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.load(path.c_str(), 0, 4, 3));
    EXPECT_FALSE(image.load(path.c_str(), 4, -4, 3));
    EXPECT_FALSE(image.load(path.c_str(), 4, 4, 0));
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(image.hasPixels());

    // The size asked for: 0 when a dimension is not positive or the bytes do not fit.
    EXPECT_EQ(rawImageSize(5, 3, 4), 60u);
    EXPECT_EQ(rawImageSize(1 << 30, 1 << 30, 8), std::size_t{1} << 63);
    for (const auto& [w, h, c] :
         {std::tuple{0, 4, 3}, {4, -4, 3}, {4, 4, 0}, {INT32_MAX, INT32_MAX, INT32_MAX}})
        EXPECT_EQ(rawImageSize(w, h, c), 0u) << w << " " << h << " " << c;
}

TEST_F(RawImageTest, ChannelCountsGiveTheirTextureFormats) {
    const struct {
        int channels;
        GLint internalFormat;
        GLenum readFormat;
        bool luminance;
        bool alpha;
        GLint alignment;  // the row alignment in force before the upload, to be found after it
    } cases[] = {
        {1, 1, GL_LUMINANCE, true, false, 2},
        {3, 3, GL_RGB, false, false, 8},
        {4, 4, GL_RGBA, false, true, 4},
    };
    // 5 pixels wide: rows of 5, 15 and 20 bytes, packed without padding.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        const std::size_t bytes = 5u * 3u * static_cast<std::size_t>(c.channels);
        const std::string path = file("image" + std::to_string(c.channels) + ".raw", bytes);
        RawImage image;
        ASSERT_TRUE(image.load(path.c_str(), 5, 3, c.channels));
        const std::vector<unsigned char> loaded = image.pixels;
        glPixelStorei(GL_UNPACK_ALIGNMENT, c.alignment);

        ASSERT_TRUE(image.makeTexture(5, 3, c.channels));
        EXPECT_FALSE(image.hasPixels());
        ASSERT_NE(image.textureId, 0u);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), image.textureId);
        EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), c.internalFormat);
        EXPECT_EQ(level0(GL_TEXTURE_LUMINANCE_SIZE) > 0, c.luminance);
        EXPECT_EQ(level0(GL_TEXTURE_ALPHA_SIZE) > 0, c.alpha);
        EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 5);
        EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 3);
        GLint filter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
        EXPECT_EQ(filter, GL_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_EQ(filter, GL_LINEAR);

        // The texture holds the file's bytes in file order, and the row alignment is back.
        std::vector<unsigned char> texels(bytes);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, c.readFormat, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_EQ(texels, loaded);
        GLint alignmentAfter = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignmentAfter);
        EXPECT_EQ(alignmentAfter, c.alignment);
    }
}

TEST_F(RawImageTest, TwoChannelsAreRefusedWithoutImage) {
    RawImage image;
    ASSERT_TRUE(image.load(file("two.raw", 32).c_str(), 4, 4, 2));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.makeTexture(4, 4, 2));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Invalid Number of Channels\n");
    EXPECT_FALSE(image.hasPixels());
    ASSERT_NE(image.textureId, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), image.textureId);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 0);
}

TEST_F(RawImageTest, ASizeOtherThanTheLoadedOneUploadsNothing) {
    RawImage image;
    ASSERT_TRUE(image.load(file("small.raw", 48).c_str(), 4, 4, 3));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(image.makeTexture(8, 8, 3));
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(image.hasPixels());
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 0);

    RawImage empty;  // never loaded
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(empty.makeTexture(4, 4, 3));
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 0);
}

}  // namespace
}  // namespace gltest
