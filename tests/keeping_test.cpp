// What the web page keeps of a creature (the files it saves, read back by the program's reader)
// and the check of the start files it is given in place of the shipped ones.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "creature/crossover.h"
#include "fixtures.h"
#include "mesh/obj_reader.h"
#include "subdiv/loop.h"
#include "web/creature_files.h"
#include "web/start_files.h"

namespace {

namespace fs = std::filesystem;

std::string shippedText(const char* file) {
    std::ifstream in(fs::path(CREATURES_SOURCE_DIR) / "model_data" / file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text as the reader reads it, and then, with build, as the start-up load builds it and gives
// it normals; quietly.
Model readQuietly(const std::string& text, bool build = true) {
    Model m;
    testing::internal::CaptureStdout();
    const bool ok = readObjText(text, "saved.obj", Vec3{}, m).ok;
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ok);
    if (build) fixtures::buildWithNormalsQuietly(m);
    return m;
}

TEST(SavedFiles, AsSeenReadsBackAsTheDisplayCopyWithItsPartsTransforms) {
    const Model genome = readQuietly(shippedText("bird1.obj"));
    Model display;
    subdivideLinked(genome, display);
    // Untransformed: the same positions and normals to the bit, triangles the other way round.
    Model back = readQuietly(seenAsObj(display, "bird"), false);
    EXPECT_TRUE(fixtures::sameBits(back.positions, display.positions));
    EXPECT_TRUE(fixtures::sameBits(back.normals, display.normals));
    ASSERT_EQ(back.parts.size(), display.parts.size());
    for (size_t p = 0; p < display.parts.size(); ++p) {
        const Polygon& seen = display.parts[p].polygons.back();
        const Polygon& read = back.parts[p].polygons.back();
        EXPECT_EQ(std::tuple(back.parts[p].name, back.parts[p].polygons.size(),
                             read[1].positionIndex, read[2].positionIndex),
                  std::tuple(display.parts[p].name, display.parts[p].polygons.size(),
                             seen[2].positionIndex, seen[1].positionIndex));
    }
    // Scaled, moved and sized as the drawing places them; normals by the inverse transpose.
    for (BodyPart& part : display.parts) {
        part.partScale = {2.0f, 0.5f, 1.0f};
        part.partOffset = {0.0f, 1.0f, 0.0f};
    }
    display.scale = 1.5f;
    back = readQuietly(seenAsObj(display, "bird"), false);
    for (size_t i = 0; i < display.positions.size(); i += 97) {
        const Vec3& p = display.positions[i];
        EXPECT_EQ(back.positions[i], (Vec3{1.5f * (p.x * 2.0f + 0.0f), 1.5f * (p.y * 0.5f + 1.0f),
                                           1.5f * (p.z * 1.0f + 0.0f)}));
        const Vec3& n = display.normals[i];
        EXPECT_EQ(back.normals[i], normalizedOrZero({n.x / 2.0f, n.y / 0.5f, n.z / 1.0f}));
    }
    // A quarter turn about y; a position two parts of different transforms share is written twice.
    Model shared = fixtures::makeModel({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}},
                                       {{"head", {{0, 1, 2}}}, {"tail", {{0, 2, 3}}}});
    shared.normals = shared.positions;
    shared.parts[1].partAngle = 90.0f;
    shared.parts[1].partAxis = {0.0f, 2.0f, 0.0f};
    back = readQuietly(seenAsObj(shared, "shared"), false);
    ASSERT_EQ(back.positions.size(), 6u);
    EXPECT_EQ(back.positions[0], (Vec3{1, 0, 0}));
    EXPECT_NEAR(back.positions[3].z, -1.0f, 1e-6f);  // (1, 1, 1), the tail's alone, turned
    EXPECT_NEAR(back.positions[4].z, -1.0f, 1e-6f);  // copies of (1, 0, 0) and (0, 0, 1), turned
    EXPECT_NEAR(back.positions[5].x, 1.0f, 1e-6f);
}

TEST(SavedFiles, TheGenomeStandsInForAStartCreature) {
    Model genome = readQuietly(shippedText("bird1.obj"));
    const Model squat = readQuietly(shippedText("squant1.obj"));
    genome.parts[0].partScale = {1.25f, 1.0f, 1.0f};
    const std::string text = genomeAsObj(genome, "bred");
    const Model back = readQuietly(text);
    EXPECT_EQ(topologyMismatch(back, squat), "");
    EXPECT_EQ(back.normals.size(), back.positions.size());
    const size_t head = static_cast<size_t>(genome.parts[0].polygons[0][0].positionIndex);
    EXPECT_EQ(back.positions[head].x, genome.positions[head].x * 1.25f);
    const size_t torso = static_cast<size_t>(genome.parts[1].polygons[0][0].positionIndex);
    EXPECT_EQ(back.positions[torso], genome.positions[torso]);
    // The start files' own form: a texture line per position, corners as a/a/a.
    EXPECT_NE(text.find("\nvt 0 0\n"), std::string::npos);
    EXPECT_NE(text.find("\nf 1/1/1 2/2/2 3/3/3\n"), std::string::npos);
}

TEST(StartFiles, TheCheckNamesTheFileAndWhatIsWrong) {
    std::string dir = (fs::temp_directory_path() / "creatures-start-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::string bird = shippedText("bird1.obj");
    const std::string squat = shippedText("squant1.obj");
    const std::string rabbit = shippedText("rabbit.obj");
    const std::string headFace = "g head\nf 1/1/1 2/2/2 3/3/3\n";
    const std::string swapped = "g head\nf 1/1/1 3/3/3 2/2/2\n";
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    const struct {
        std::string bird, squat, rabbit, verdict;
    } cases[] = {
        {bird, squat, rabbit, ""},
        {"v 1 2\n" + bird, squat, rabbit,
         "bird.obj cannot be read: Error! Vertex vector size not 3"},
        {replaced(bird, "g tail", "g wing"), squat, rabbit,
         "bird.obj has a body part named \"wing\", which is none of head, torso, lefteye, "
         "righteye, mouth, leftleg, rightleg, lefthand, righthand, tail, hair, leftear, rightear"},
        {"f 1 2 3\n" + bird, squat, rabbit, "bird.obj has faces before its first \"g\" line"},
        {"", squat, rabbit, "bird.obj has no triangles"},
        // The edge 1-2 shared by three triangles, two of them running the same way.
        {bird + "g hair\nf 1 2 3\nf 1 2 4\nf 2 1 5\nf 3 2 5\n", squat, rabbit,
         "bird.obj is not a surface the program can refine: the triangles around vertex"},
        {bird + "v 0 0 0\n", squat, rabbit, "bird.obj has 615 positions; the other two have 614"},
        {bird, replaced(squat, headFace, swapped), rabbit,
         "squant.obj's triangle 1 of body part 1 (\"head\") has corners 1 3 2; the other two "
         "have 1 2 3"},
        {bird, squat, replaced(rabbit, "g tail", "g hair"),
         "rabbit.obj's body part 10 is \"hair\"; the other two have \"tail\""},
        {bird + "v 0 0 0\n", squat + "v 0 0 0\nv 0 0 0\n", rabbit,
         "bird.obj has 615 positions; squant.obj has 616"},
    };
    for (const auto& c : cases) {
        const std::array<std::string, 3> paths = {dir + "/bird.obj", dir + "/squant.obj",
                                                  dir + "/rabbit.obj"};
        for (const auto& [path, text] :
             {std::pair{&paths[0], &c.bird}, std::pair{&paths[1], &c.squat},
              std::pair{&paths[2], &c.rabbit}})
            std::ofstream(*path, std::ios::binary) << *text;
        testing::internal::CaptureStdout();
        const std::string verdict = checkStartFiles(paths);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(verdict.substr(0, c.verdict.size()), c.verdict);
        EXPECT_EQ(verdict.empty(), c.verdict.empty()) << verdict;
    }
    fs::remove_all(dir);
}

}  // namespace
