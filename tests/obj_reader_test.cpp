#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "mesh/obj_reader.h"

namespace {

struct Read {
    Model model;
    ObjReadResult result;
    std::string output;
};

Read readText(const std::string& text) {
    Read r;
    ::testing::internal::CaptureStdout();
    r.result = readObjText(text, "mem.obj", Vec3{1, 2, 3}, r.model);
    r.output = ::testing::internal::GetCapturedStdout();
    return r;
}

std::string tempFile(const std::string& name, const std::string& contents) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("creatures_reader_" + std::to_string(::getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << contents;
    return path.string();
}

std::vector<int32_t> positionIndices(const Polygon& p) {
    std::vector<int32_t> out;
    for (const Corner& c : p)
        out.push_back(c.positionIndex);
    return out;
}
std::vector<int32_t> normalSlots(const Polygon& p) {
    std::vector<int32_t> out;
    for (const Corner& c : p)
        out.push_back(c.normalSlot);
    return out;
}
std::vector<int> flagsA(const Polygon& p) {
    std::vector<int> out;
    for (const Corner& c : p)
        out.push_back(c.flagA);
    return out;
}

using namespace std::string_literals;

const std::string kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

TEST(ObjReader, ReportsProgressAndCounts) {
    const Read r = readText("v 0 0 0\nv 2 0 0\nv 0 4 0\nvn 0 0 1\nvt 0 0\ng head\nf 1 2 3\n");
    ASSERT_TRUE(r.result.ok);
    EXPECT_EQ(r.output,
              "head\nParsed obj file mem.obj\nGroups:1\nFaces:1\nVertices:3\nNormals:1\nUVs: 0\n");
    EXPECT_EQ(r.model.sourcePath, "mem.obj");
    EXPECT_EQ(r.model.position, (Vec3{1, 2, 3}));
    const float third = 1.0f / 3.0f;
    EXPECT_EQ(r.model.centre, (Vec3{2.0f * third, 4.0f * third, 0.0f}));
    EXPECT_EQ(r.model.firstChildId, NONE_INDEX);
    EXPECT_EQ(r.model.secondChildId, NONE_INDEX);
    EXPECT_FALSE(r.model.firstChild || r.model.secondChild);
    EXPECT_TRUE(r.model.texCoords.empty());
    EXPECT_EQ(r.model.parts[0].colour, (Colour{0.02f, 0.04f, 0.2f}));
}

TEST(ObjReader, GroupsAndTheDefaultPart) {
    // Faces after "g default" stay in the part before it; "g a b" names the part b.
    Read r = readText(kTriangle + "g head\nf 1 2 3\ng default\nf 3 2 1\ng a b\nf 1 3 2\n");
    ASSERT_EQ(r.model.parts.size(), 2u);
    EXPECT_EQ(r.model.parts[0].name, "head");
    EXPECT_EQ(r.model.parts[0].polygons.size(), 2u);
    EXPECT_EQ(r.model.parts[1].name, "b");
    EXPECT_EQ(r.output.substr(0, 7), "head\nb\n");

    // Faces without any group line go to a part named "default", printed nowhere.
    r = readText(kTriangle + "f 1 2 3\n");
    ASSERT_EQ(r.model.parts.size(), 1u);
    EXPECT_EQ(r.model.parts[0].name, "default");
    EXPECT_EQ(positionIndices(r.model.parts[0].polygons[0]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(normalSlots(r.model.parts[0].polygons[0]), (std::vector<int32_t>{-1, -1, -1}));
    EXPECT_EQ(flagsA(r.model.parts[0].polygons[0]), (std::vector<int>{1, 1, 1}));

    // An f line that adds no polygon still makes the default part.
    r = readText(kTriangle + "f\n");
    ASSERT_EQ(r.model.parts.size(), 1u);
    EXPECT_TRUE(r.model.parts[0].polygons.empty());
}

TEST(ObjReader, FaceNumbersCarryOverWithinALine) {
    Read r = readText(kTriangle +
                      "v 1 1 1\nv 2 2 2\nv 3 3 3\nf 1/4/1 2/5/1 3/6/1\nf 1/4/2 2 3\nf 1//9 2 3\n"
                      "f 1/-3/1 2 3\n");
    ASSERT_TRUE(r.result.ok);
    const auto& polys = r.model.parts[0].polygons;
    EXPECT_EQ(positionIndices(polys[0]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(normalSlots(polys[0]), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(flagsA(polys[0]), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(positionIndices(polys[1]), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(normalSlots(polys[1]), (std::vector<int32_t>{3, 3, 3}));
    EXPECT_EQ(flagsA(polys[1]), (std::vector<int>{1, 1, 1}));
    // 1//9 scans only the first number: second and third stay 0.
    EXPECT_EQ(normalSlots(polys[2]), (std::vector<int32_t>{-1, -1, -1}));
    // A negative normal number is a slot like any other, not the -1 of none.
    EXPECT_EQ(normalSlots(polys[3]), (std::vector<int32_t>{-4, -4, -4}));
}

TEST(ObjReader, PolygonNeedsANumberInItsLastToken) {
    Read r = readText(kTriangle + "v 1 1 0\nf 1 2 3 end\nf 1 2 3 4\n");
    ASSERT_TRUE(r.result.ok);
    ASSERT_EQ(r.model.parts[0].polygons.size(), 1u);
    EXPECT_EQ(r.model.parts[0].polygons[0].size(), 4u);
    EXPECT_NE(r.output.find("Faces:1\n"), std::string::npos);
}

TEST(ObjReader, TokensSplitAtSpacesOnly) {
    // A comment mark is skipped like any other word, so this is a position.
    Read r = readText("# v 1 2 3\n   v    4  5 6   \n#v 7 8 9\nv\t1 2 3\n");
    ASSERT_TRUE(r.result.ok);
    EXPECT_EQ(r.model.positions, (std::vector<Vec3>{{1, 2, 3}, {4, 5, 6}}));

    // A tab inside an argument leaves one token: only two arguments.
    r = readText("v 1\t2 3\n");
    EXPECT_FALSE(r.result.ok);
    EXPECT_EQ(r.output, "Error! Vertex vector size not 3\n");
    EXPECT_EQ(r.result.exitStatus, 1);

    // Words that are not numbers read as 0.
    r = readText("v a 2.5e1 -.5x\n");
    EXPECT_EQ(r.model.positions[0], (Vec3{0.0f, 25.0f, -0.5f}));
}

TEST(ObjReader, LineEndsAndLongLines) {
    const std::string unix = kTriangle + "g head\nf 1 2 3";
    const Read a = readText(unix);
    const Read b = readText(unix + "\n");
    Read c = readText("v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\ng head\r\nf 1 2 3\r\n");
    for (const Read* r : {&a, &b, static_cast<const Read*>(&c)}) {
        ASSERT_TRUE(r->result.ok);
        ASSERT_EQ(r->model.parts.size(), 1u);
        EXPECT_EQ(r->model.parts[0].name, "head");
        EXPECT_EQ(r->model.parts[0].polygons.size(), 1u);
        EXPECT_EQ(r->model.positions, a.model.positions);
    }

    // Lines of any length are read whole: padding never splits a number or loses a face.
    const std::string pad(3000, ' ');
    std::string big = "v" + pad + "1.25" + pad + "2" + pad + "3\n";
    big += "v 0 0 0\nv 1 1 1\ng " + std::string(2000, 'x') + "\nf";
    for (int i = 0; i < 400; ++i)
        big += " 1 2 3";
    big += "\n";
    c = readText(big);
    ASSERT_TRUE(c.result.ok);
    EXPECT_EQ(c.model.positions[0], (Vec3{1.25f, 2.0f, 3.0f}));
    ASSERT_EQ(c.model.parts.size(), 1u);
    EXPECT_EQ(c.model.parts[0].name.size(), 2000u);
    ASSERT_EQ(c.model.parts[0].polygons.size(), 1u);
    EXPECT_EQ(c.model.parts[0].polygons[0].size(), 1200u);

    // A NUL byte ends its line as it would end a C string: the rest of the line is dropped, the
    // first NUL counting, and the next line is read as usual.
    c = readText("v 0 0 0\0 7\nv 1 0 0\r\nv 0 1 0\0\0\r\ng he\0ad\nf 1 2 3\0 4\0 5\n"s);
    ASSERT_TRUE(c.result.ok) << c.result.message;
    EXPECT_EQ(c.model.positions, a.model.positions);
    ASSERT_EQ(c.model.parts.size(), 1u);
    EXPECT_EQ(c.model.parts[0].name, "he");
    ASSERT_EQ(c.model.parts[0].polygons.size(), 1u);
    EXPECT_EQ(positionIndices(c.model.parts[0].polygons[0]), (std::vector<int32_t>{0, 1, 2}));
}

TEST(ObjReader, MalformedLinesFail) {
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"v 1 2 3 # c\n", "Error! Vertex vector size not 3\n"},
        {"v 1 2\n", "Error! Vertex vector size not 3\n"},
        {"vn 1 2 3 4\n", "Error! Normal vector count not 3\n"},
        {"vt 1\n", "Error! Texture Coord Count not 2\n"},
        {kTriangle + "f 1 2\n", "Error! Face with fewer than 3 corners on line 4\n"},
        {kTriangle + "f 1 2\0 3\n"s, "Error! Face with fewer than 3 corners on line 4\n"},
        {kTriangle + "f 0 1 2\n", "Error! Face index out of range (zero or negative) on line 4\n"},
        {kTriangle + "f -1 2 3\n", "Error! Face index out of range (zero or negative) on line 4\n"},
        // A first token without a number carries in zeros: position index -1.
        {kTriangle + "f x 2 3\n", "Error! Face index out of range (zero or negative) on line 4\n"},
        {kTriangle + "f 1 2 4\nv 1 1 1\nf 1 2 9\nv 2 2 2\n",
         "Error! Face index out of range (beyond the number of vertices) on line 6\n"},
        {kTriangle + "f 1 2 99999999999\n",
         "Error! Face index out of range (beyond the number of vertices) on line 4\n"},
        {"v 0 0 0\nv 1 nan 0\n", "Error! Vertex coordinate is not a finite number on line 2\n"},
        {"v 1e39 0 0\n", "Error! Vertex coordinate is not a finite number on line 1\n"},
        {"vn 0 -inf 0\n", "Error! Normal coordinate is not a finite number on line 1\n"},
    };
    for (const Case& c : cases) {
        const Read r = readText(c.text);
        EXPECT_FALSE(r.result.ok) << c.text;
        EXPECT_EQ(r.result.exitStatus, 1) << c.text;
        EXPECT_EQ(r.result.message, c.message) << c.text;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.text;
    }
    // A forward reference that the rest of the file satisfies is fine.
    EXPECT_TRUE(readText("f 1 2 3\nv 0 0 0\nv 1 0 0\nv 0 1 0\n").result.ok);
}

TEST(ObjReader, EmptyFileHasNoCentreProblem) {
    const Read r = readText("");
    ASSERT_TRUE(r.result.ok);
    EXPECT_EQ(r.model.centre, (Vec3{0, 0, 0}));
    EXPECT_EQ(r.output,
              "Parsed obj file mem.obj\nGroups:0\nFaces:0\nVertices:0\nNormals:0\nUVs: 0\n");
}

TEST(ObjReader, ReadsFilesAndReportsOpening) {
    // A NUL byte in a file ends its line only.
    const std::string path =
        tempFile("ok.obj", kTriangle + "v 1 1 1\ng a\0 c\nf 1 2 3\ng b\nf 4 2 1\n"s);
    Model m;
    ::testing::internal::CaptureStdout();
    const ObjReadResult result = readObj(path, Vec3{}, m);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), "Opening " + path + "\n");
    ASSERT_EQ(m.parts.size(), 2u);
    EXPECT_EQ(m.parts[0].polygons.size(), 1u);
    EXPECT_EQ(m.parts[1].polygons.size(), 1u);
    std::filesystem::remove(path);

    // The same model read again: a smaller file leaves what a fresh model would hold, texture
    // coordinates set meanwhile included, and a file that cannot be opened leaves it empty.
    const std::string text = "v 2 2 2\nv 4 2 2\nv 2 5 2\nf 3 2 1\n";
    const std::string smaller = tempFile("small.obj", text);
    const Read fresh = readText(text);
    m.texCoords.resize(2);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(readObj(smaller, Vec3{1, 2, 3}, m).ok);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Opening " + smaller + "\nParsed obj file " + smaller +
                  fresh.output.substr(fresh.output.find('\n')));
    EXPECT_EQ(m.positions, fresh.model.positions);
    EXPECT_EQ(m.centre, fresh.model.centre);
    ASSERT_EQ(m.parts.size(), 1u);
    EXPECT_EQ(m.parts[0].polygons, fresh.model.parts[0].polygons);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readObj(path, Vec3{}, m).exitStatus, -1);
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(m.parts.empty() && m.positions.empty());
    std::filesystem::remove(smaller);
}

// The constructor ends the program after the message; the message goes to standard output,
// which the death tests send to standard error to match it. They fork, so the child reads the
// file this process wrote and removes; a child started afresh would write one of its own and end
// before removing it.
TEST(ObjReaderDeathTest, ConstructorEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            ::dup2(2, 1);
            Model m("/nonexistent/creature.obj", Vec3{});
        },
        ::testing::ExitedWithCode(255), "Cannot Open /nonexistent/creature.obj\\.\\.\\. Quitting!");
    const std::string bad = tempFile("bad.obj", "v 1 2\n");
    EXPECT_EXIT(
        {
            ::dup2(2, 1);
            Model m(bad, Vec3{});
        },
        ::testing::ExitedWithCode(1), "Error! Vertex vector size not 3");
    std::filesystem::remove(bad);
    // A directory opens but cannot be read.
    EXPECT_EXIT(
        {
            ::dup2(2, 1);
            Model m("/", Vec3{});
        },
        ::testing::ExitedWithCode(1), "Error! Cannot read /");
}

// The number conversions behave exactly like atof and sscanf("%d/%d/%d") on arbitrary tokens.
TEST(ObjReader, NumberConversionsMatchTheCLibrary) {
    std::mt19937 rng(7);
    const std::string alphabet = "0123456789+-.eExXpPaAfFiInNtTyY/\t\r\v ";
    std::uniform_int_distribution<size_t> len(1, 12), ch(0, alphabet.size() - 1);
    std::vector<std::string> tokens = {
        "1e40", "-1e40",      "1e-40",       "1e-50",     "0x1p-3",  "-0x10", "+-1",
        "nan",  "-inf",       "infinity",    "  7",       "+.5",     ".",     "-",
        "1e",   "2147483647", "-2147483648", "007/08/09", "1/ 2/\t3"};
    for (int i = 0; i < 20000; ++i) {
        std::string t;
        const size_t n = len(rng);
        for (size_t k = 0; k < n; ++k)
            t += alphabet[ch(rng)];
        tokens.push_back(t);
    }
    for (const std::string& t : tokens) {
        const float expected = static_cast<float>(std::atof(t.c_str()));
        const float got = parseObjFloat(t);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << t;
        } else {
            EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << '"' << t << '"';
        }
        if (t.size() > 10) continue;  // sscanf's overflow is undefined; stay within int range
        int a[3] = {11, 22, 33}, b[3] = {11, 22, 33};
        const int ours = scanFaceToken(t, a);
        const int theirs = std::sscanf(t.c_str(), "%d/%d/%d\n", &b[0], &b[1], &b[2]);
        EXPECT_EQ(ours, theirs) << '"' << t << '"';
        EXPECT_EQ(std::vector<int>(a, a + 3), std::vector<int>(b, b + 3)) << '"' << t << '"';
    }
    // Beyond the 32-bit range, where sscanf's result is undefined, the numbers saturate.
    int n[3] = {0, 0, 0};
    EXPECT_EQ(scanFaceToken("99999999999/-99999999999/2147483648", n), 3);
    EXPECT_EQ(std::vector<int>(n, n + 3), (std::vector<int>{INT32_MAX, INT32_MIN, INT32_MAX}));
}

}  // namespace
