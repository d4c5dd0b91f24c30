// Bad start files through the start-up load, as the program meets them: a scratch working
// directory holds ./model_data with the three shipped creature files, one of them is replaced,
// and the World is constructed there. Files that end the program are death tests (the console is
// sent to standard error, where the death test reads it); files the program runs with are loaded
// in the test process, and breeding is tried on what they give.
//
// docs/bad-input.md lists every case with what the program prints and its exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "creature/world.h"
#include "mesh/ring_walk.h"
#include "tests/fixtures.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// text as an extended regular expression that matches exactly it.
std::string literal(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (std::string_view(".[]()*+?{}|^$\\").find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return out;
}

// A model as OBJ text: its positions, then one group per part with its triangles.
std::string objText(const Model& model) {
    std::ostringstream out;
    for (const Vec3& p : model.positions)
        out << "v " << p.x << ' ' << p.y << ' ' << p.z << '\n';
    for (const BodyPart& part : model.parts) {
        out << "g " << part.name << '\n';
        for (const Polygon& polygon : part.polygons) {
            out << 'f';
            for (const Corner& c : polygon)
                out << ' ' << c.positionIndex + 1;
            out << '\n';
        }
    }
    return out.str();
}

// The working directory for as long as it lives.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : previous_(fs::current_path()) {
        fs::current_path(dir);
    }
    ~InDirectory() { fs::current_path(previous_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    fs::path previous_;
};

// Loads the start population in dir the way the program does, with the program's own handling
// of a ring that does not close (print, exit 1); the console goes to standard error.
void loadDying(const fs::path& dir) {
    fs::current_path(dir);
    ::dup2(2, 1);
    setRingFaultHandler(nullptr);
    const World world(startCreatures());
}

const std::string kShipped[3] = {"bird1.obj", "squant1.obj", "rabbit.obj"};

class BadStartFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "creatures-bad-input-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "model_data");
        for (const std::string& name : kShipped) {
            fs::copy_file(fs::path(CREATURES_SOURCE_DIR) / "model_data" / name,
                          dir_ / "model_data" / name);
        }
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string shipped(const std::string& name) const {
        return readFile(fs::path(CREATURES_SOURCE_DIR) / "model_data" / name);
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / "model_data" / name, std::ios::binary | std::ios::trunc) << text;
    }
    // The file replaced by what edit makes of the shipped one.
    template <typename Edit>
    void edit(const std::string& name, Edit edit) const {
        write(name, edit(shipped(name)));
    }

    // The program's start-up load in the scratch directory, which the program survives.
    struct Loaded {
        std::unique_ptr<World> world;
        std::string console;
    };
    Loaded load() const {
        const InDirectory here(dir_);
        Loaded loaded;
        ::testing::internal::CaptureStdout();
        loaded.world = std::make_unique<World>(startCreatures());
        loaded.console = ::testing::internal::GetCapturedStdout();
        return loaded;
    }

    // The console of the start-up load from the shipped files.
    std::string shippedConsole() const { return load().console; }

    // Breeding `parent` with `partner` is refused with the message naming why, and the population
    // is as it was.
    static void expectRefused(World& w, int parent, int partner, const std::string& why) {
        const size_t count = w.genomes.size();
        const std::vector<Vec3> positions = w.genomes[static_cast<size_t>(parent)].positions;
        ::testing::internal::CaptureStdout();
        w.breed(parent, w.genomes[static_cast<size_t>(partner)], RANDOM_WEIGHT, MakeChildren);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(),
                  "Error! Cannot breed creature " + std::to_string(parent) +
                      ": the two meshes differ (" + why + ")\n");
        EXPECT_EQ(w.genomes.size(), count);
        EXPECT_EQ(w.creatures.size(), count);
        EXPECT_EQ(w.nextCreatureId, static_cast<int32_t>(count));
        EXPECT_TRUE(w.familyLinks.empty());
        EXPECT_FALSE(w.genomes[static_cast<size_t>(parent)].firstChild);
        EXPECT_EQ(w.genomes[static_cast<size_t>(parent)].positions, positions);
    }

    // Self-breeding works on any creature the program loaded: two children.
    static void expectSelfBreeds(World& w, int index) {
        const size_t count = w.genomes.size();
        ::testing::internal::CaptureStdout();
        w.selfBreed(index, NONE_INDEX, NONE_INDEX);
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(w.genomes.size(), count + 2);
        EXPECT_EQ(w.creatures.size(), count + 2);
    }

    fs::path dir_;
};

// The death tests fork: the child loads from the scratch directory this process made and
// removes. A child started afresh ("threadsafe") would run SetUp again and end, with the
// program, before its TearDown removed the directory of its own.
class BadStartFileDeathTest : public BadStartFile {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "fast");
        BadStartFile::SetUp();
    }
};

// ---- Files that end the program ----------------------------------------------------------------

TEST_F(BadStartFileDeathTest, MissingOrUnreadableFile) {
    fs::remove(dir_ / "model_data" / "squant1.obj");
    // The bird is read completely before the squant is opened.
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(255),
                literal("Starting Subdivision...Opening ./model_data/squant1.obj\n"
                        "Cannot Open ./model_data/squant1.obj... Quitting!\n") +
                    "$");
    // As root no file is unreadable; a directory in its place opens but cannot be read.
    fs::create_directory(dir_ / "model_data" / "squant1.obj");
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Opening ./model_data/squant1.obj\n"
                        "Error! Cannot read ./model_data/squant1.obj\n") +
                    "$");
}

TEST_F(BadStartFileDeathTest, MalformedLinesEndTheProgramWithStatusOne) {
    struct Case {
        std::string text;
        std::string message;
    };
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    const Case cases[] = {
        {"v 1 2\n", "Error! Vertex vector size not 3\n"},
        {"v 1 2 3 # a comment after the numbers\n", "Error! Vertex vector size not 3\n"},
        {"vn 0 0\n", "Error! Normal vector count not 3\n"},
        {"vt 0 0 0\n", "Error! Texture Coord Count not 2\n"},
        {triangle + "f 1 2 4\n",
         "Error! Face index out of range (beyond the number of vertices) on line 4\n"},
        {triangle + "f 1 2 0\n", "Error! Face index out of range (zero or negative) on line 4\n"},
        {triangle + "f 1 -2 3\n", "Error! Face index out of range (zero or negative) on line 4\n"},
        {triangle + "f 1 2\n", "Error! Face with fewer than 3 corners on line 4\n"},
        {triangle + "f 1\n", "Error! Face with fewer than 3 corners on line 4\n"},
        {"v 0 0 nan\n", "Error! Vertex coordinate is not a finite number on line 1\n"},
        {"v 0 -inf 0\n", "Error! Vertex coordinate is not a finite number on line 1\n"},
        // Finite in the file, infinite as a 32-bit float.
        {"v 1e39 0 0\n", "Error! Vertex coordinate is not a finite number on line 1\n"},
        {"vn 0 0 infinity\n", "Error! Normal coordinate is not a finite number on line 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        write("rabbit.obj", c.text);
        EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                    literal("Opening ./model_data/rabbit.obj\n" + c.message) + "$");
    }
}

TEST_F(BadStartFileDeathTest, TruncatedFileEndsTheProgramWhenALineIsCut) {
    // Cut inside a position line, after its second number.
    edit("bird1.obj", [](const std::string& text) {
        const size_t line = text.find("\nv ", 1000);
        const size_t second = text.find(' ', text.find(' ', line + 3) + 1);
        return text.substr(0, second);
    });
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Opening ./model_data/bird1.obj\nError! Vertex vector size not 3\n") + "$");
    // Cut inside a face line, after its second corner.
    long lineNumber = 0;
    edit("bird1.obj", [&lineNumber](const std::string& text) {
        const size_t line = text.find("\nf ", text.size() * 3 / 4);
        const size_t second = text.find(' ', text.find(' ', line + 3) + 1);
        for (size_t i = 0; i <= line; ++i)
            lineNumber += text[i] == '\n';
        return text.substr(0, second);
    });
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Error! Face with fewer than 3 corners on line " +
                        std::to_string(lineNumber + 1) + "\n") +
                    "$");
}

TEST_F(BadStartFileDeathTest, TabsAreNotSeparators) {
    // "v<tab>x y z" is a word of its own, not a keyword: the positions are never read, and the
    // first face points past them.
    long firstFace = 0;
    edit("squant1.obj", [&firstFace](const std::string& text) {
        std::istringstream lines(text);
        std::string out;
        long number = 0;
        for (std::string line; std::getline(lines, line);) {
            ++number;
            if (line.rfind("v ", 0) == 0) line[1] = '\t';
            if (firstFace == 0 && line.rfind("f ", 0) == 0) firstFace = number;
            out += line + "\n";
        }
        return out;
    });
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Error! Face index out of range (beyond the number of vertices) on line " +
                        std::to_string(firstFace) + "\n") +
                    "$");
    // A tab between two numbers joins them into one argument.
    write("squant1.obj", "v 1\t2 3\n");
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Error! Vertex vector size not 3\n") + "$");
}

TEST_F(BadStartFileDeathTest, ARingThatDoesNotCloseEndsTheProgram) {
    // The edge 1-2 is shared by three triangles, two of them running the same way.
    write("bird1.obj",
          "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 0 0 1\ng head\n"
          "f 1 2 3\nf 1 2 4\nf 2 1 5\nf 3 2 5\n");
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Calculating Normals...Error! The triangles around vertex 2 of part "
                        "\"head\" do not close (vertex normal): the mesh is not a surface\n") +
                    "$");
    // A triangle with a repeated corner.
    write("bird1.obj", "v 0 0 0\nv 1 1 0\nv 0 0 1\ng head\nf 1 2 3\nf 1 2 2\n");
    EXPECT_EXIT(loadDying(dir_), ::testing::ExitedWithCode(1),
                literal("Calculating Normals...This should never happen!\nError! The triangles "
                        "around vertex 1 of part \"head\" do not close (vertex normal): the mesh "
                        "is not a surface\n") +
                    "$");
}

// ---- Files the program runs with ---------------------------------------------------------------

TEST_F(BadStartFile, LineEndsAndLongLinesReadAsTheShippedFiles) {
    const std::string expected = shippedConsole();
    edit("bird1.obj", [](const std::string& text) {
        std::string crlf;
        for (const char c : text)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return crlf;
    });
    edit("squant1.obj", [](std::string text) {
        text.pop_back();  // no line end after the last face
        return text;
    });
    // A 20 MB comment line, and a position line padded with a thousand spaces between numbers.
    edit("rabbit.obj", [](const std::string& text) {
        const size_t at = text.find("\nv ") + 1;
        const size_t end = text.find('\n', at);
        std::string padded = "v";
        std::istringstream numbers(text.substr(at + 2, end - at - 2));
        for (std::string n; numbers >> n;)
            padded += std::string(1000, ' ') + n;
        return "# " + std::string(20 << 20, 'x') + "\n" + text.substr(0, at) + padded +
               text.substr(end);
    });
    Loaded loaded = load();
    EXPECT_EQ(loaded.console, expected);
    World& w = *loaded.world;
    // The three still share one topology: they breed.
    ::testing::internal::CaptureStdout();
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);
    w.breed(2, w.genomes[1], RANDOM_WEIGHT, MakeChildren);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(w.genomes.size(), 7u);
}

TEST_F(BadStartFile, EmptyFileGivesACreatureWithoutBodyParts) {
    write("bird1.obj", "");
    Loaded loaded = load();
    EXPECT_EQ(loaded.console.substr(0, loaded.console.find("Opening ./model_data/squant1.obj")),
              "Opening ./model_data/bird1.obj\nParsed obj file ./model_data/bird1.obj\nGroups:0\n"
              "Faces:0\nVertices:0\nNormals:0\nUVs: 0\n"
              "Building 0th Set of Half Edges...Done\nCalculating Normals...Done\n"
              "Starting Subdivision...");
    World& w = *loaded.world;
    ASSERT_EQ(w.creatures.size(), 3u);
    EXPECT_TRUE(w.creatures[0].parts.empty());
    expectRefused(w, 1, 0, "different numbers of body parts");
    expectRefused(w, 0, 2, "different numbers of body parts");
    expectSelfBreeds(w, 0);

    // A file written with tabs for spaces reads as nothing at all: the same empty creature.
    edit("bird1.obj", [](std::string text) {
        for (char& c : text)
            c = c == ' ' ? '\t' : c;
        return text;
    });
    loaded = load();
    EXPECT_TRUE(loaded.world->genomes[0].parts.empty());
    EXPECT_TRUE(loaded.world->genomes[0].positions.empty());
}

TEST_F(BadStartFile, TruncatedBetweenLinesGivesAnotherTopology) {
    // The bird loses its last body parts' faces.
    edit("bird1.obj", [](const std::string& text) {
        return text.substr(0, text.find("\nf ", text.size() * 3 / 4) + 1);
    });
    Loaded loaded = load();
    World& w = *loaded.world;
    ASSERT_EQ(w.creatures.size(), 3u);
    EXPECT_LT(w.genomes[0].parts.size(), w.genomes[1].parts.size());
    expectRefused(w, 1, 0, "different numbers of body parts");
    expectSelfBreeds(w, 0);
}

TEST_F(BadStartFile, StartFilesOfDifferentTopologyRunButDoNotBreedAcross) {
    // A closed tetrahedron for the rabbit: a surface, but not the shape the others share.
    write("rabbit.obj",
          "v 1 1 1\nv -1 -1 1\nv -1 1 -1\nv 1 -1 -1\ng head\n"
          "f 1 2 4\nf 1 3 2\nf 1 4 3\nf 2 3 4\n");
    Loaded loaded = load();
    World& w = *loaded.world;
    ASSERT_EQ(w.creatures.size(), 3u);
    EXPECT_EQ(w.creatures[2].parts[0].polygons.size(), 16u);
    expectRefused(w, 2, 1, "different numbers of body parts");
    expectRefused(w, 1, 2, "different numbers of body parts");
    // The same parts, but different triangles.
    edit("rabbit.obj", [](const std::string& text) {
        const size_t at = text.find("\nf ") + 1;
        const size_t end = text.find('\n', at);
        std::istringstream corners(text.substr(at + 2, end - at - 2));
        std::string a, b, c;
        corners >> a >> b >> c;
        return text.substr(0, at) + "f " + b + " " + c + " " + a + text.substr(end);
    });
    loaded = load();
    expectRefused(*loaded.world, 1, 2, "different faces in part 0");
    // Breeding among the two that match still works, and the odd one breeds with itself.
    World& again = *loaded.world;
    ::testing::internal::CaptureStdout();
    again.breed(0, again.genomes[1], RANDOM_WEIGHT, MakeChildren);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(again.genomes.size(), 5u);
    expectSelfBreeds(again, 2);
}

TEST_F(BadStartFile, OpenNonManifoldAndInconsistentMeshesRun) {
    // Every boundary half-edge met while refining prints "BOUNDARY" and two empty lines; the
    // shipped creatures are closed and print none.
    struct Case {
        const char* what;
        std::string text;
        size_t boundaryReports;  // in the bird's one refinement step
    };
    const Case cases[] = {
        // One face of a tetrahedron turned: its three edges find no twin.
        {"inconsistently oriented",
         "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\ng head\n"
         "f 1 3 2\nf 1 4 2\nf 2 4 3\nf 1 3 4\n",
         15},
        // The edge 1-2 shared by three triangles: the third stays open.
        {"an edge of three triangles",
         "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv 0 -1 0\ng head\n"
         "f 1 2 3\nf 2 1 4\nf 1 2 5\n",
         16},
        // Two closed tetrahedra sharing one vertex.
        {"two surfaces sharing a vertex",
         "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv -1 0 0\nv 0 -1 0\nv 0 0 -1\ng head\n"
         "f 1 2 3\nf 1 4 2\nf 2 4 3\nf 1 3 4\nf 1 5 6\nf 1 7 5\nf 5 7 6\nf 1 6 7\n",
         0},
        // A four-corner polygon: only its first three corners make the triangle.
        {"a quadrilateral", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\ng head\nf 1 2 3 4\n", 6},
        // Four triangles with all corners at one point.
        {"zero area",
         "v 0 0 0\nv 0 0 0\nv 0 0 0\nv 0 0 0\ng head\n"
         "f 1 2 3\nf 1 4 2\nf 2 4 3\nf 1 3 4\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("bird1.obj", c.text);
        Loaded loaded = load();
        const std::string bird =
            loaded.console.substr(0, loaded.console.find("Opening ./model_data/squant1.obj"));
        const size_t step = bird.find("Starting Subdivision...");
        ASSERT_NE(step, std::string::npos) << bird;
        std::string reports;
        for (size_t i = 0; i < c.boundaryReports; ++i)
            reports += "BOUNDARY\n\n\n";
        EXPECT_EQ(bird.substr(step), "Starting Subdivision..." + reports);
        World& w = *loaded.world;
        ASSERT_EQ(w.creatures.size(), 3u);
        for (const Vec3& n : w.creatures[0].normals) {
            EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
        }
        expectRefused(w, 1, 0, "different numbers of body parts");
        expectSelfBreeds(w, 0);
    }
}

TEST_F(BadStartFile, HugeButFiniteCoordinatesRun) {
    // Every x near the float limit: the refinement's sums overflow, but nothing stops.
    edit("bird1.obj", [](const std::string& text) {
        std::istringstream lines(text);
        std::string out;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("v ", 0) == 0) line = "v 3e38" + line.substr(line.find(' ', 2));
            out += line + "\n";
        }
        return out;
    });
    Loaded loaded = load();
    World& w = *loaded.world;
    ASSERT_EQ(w.creatures.size(), 3u);
    ::testing::internal::CaptureStdout();
    w.breed(0, w.genomes[1], RANDOM_WEIGHT, MakeChildren);
    w.breed(1, w.genomes[0], RANDOM_WEIGHT, MakeChildren);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(w.genomes.size(), 7u);
}

TEST_F(BadStartFile, OversizedMeshLoadsAndRefines) {
    // A valid closed sphere of 180,000 triangles, a hundred and fifty times the shipped size.
    const Model sphere = fixtures::uvSphere(301, 300);
    size_t triangles = 0;
    for (const BodyPart& part : sphere.parts)
        triangles += part.polygons.size();
    ASSERT_GE(triangles, 180000u);
    write("bird1.obj", objText(sphere));
    Loaded loaded = load();
    World& w = *loaded.world;
    ASSERT_EQ(w.creatures.size(), 3u);
    EXPECT_NE(loaded.console.find("Faces:" + std::to_string(triangles) + "\n"), std::string::npos);
    EXPECT_EQ(w.creatures[0].parts[0].polygons.size(), 4 * triangles);
    expectRefused(w, 1, 0, "different numbers of body parts");
}

}  // namespace
