// The start creature files: that they are what the generator writes, that they are plain OBJ in
// the subset the program reads, that the program reads them into one shared topology without a
// complaint, that every body part is a closed, manifold, clockwise-from-outside triangle mesh,
// and that they fit the start layout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/model.h"
#include "mesh/obj_reader.h"
#include "mesh/topology_check.h"
#include "tools/creature_designs.h"

namespace {

namespace fs = std::filesystem;
using creature_files::Point;
using creature_files::Species;
using creature_files::Triangle;

const std::set<std::string> PART_NAMES{"head",    "torso",    "lefteye",  "righteye",  "mouth",
                                       "leftleg", "rightleg", "lefthand", "righthand", "tail",
                                       "hair",    "leftear",  "rightear"};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path committedFile(Species species) {
    return fs::path(CREATURES_SOURCE_DIR) / "model_data" / creature_files::fileName(species);
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    for (std::string token; std::getline(in, token, ' ');)
        tokens.push_back(token);
    return tokens;
}

// What the tests read back from a file: every line is checked against the subset on the way.
struct ObjFile {
    std::vector<Point> positions;
    std::vector<Point> normals;
    size_t texCoords = 0;
    std::vector<creature_files::PartMesh> parts;
};

// A line outside the subset fails the test and ends the reading there.
void parseInto(const std::string& text, ObjFile& obj) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        SCOPED_TRACE(line);
        EXPECT_LE(line.size(), 80u);
        EXPECT_EQ(line.find_first_of("\t\r"), std::string::npos);
        const std::vector<std::string> t = split(line);
        ASSERT_FALSE(t.empty());
        for (const std::string& token : t)
            EXPECT_FALSE(token.empty()) << "double space";
        if (t[0] == "#") {
            for (const char* keyword : {"v", "vt", "vn", "g", "f"}) {
                EXPECT_EQ(std::count(t.begin(), t.end(), keyword), 0) << "keyword in a comment";
            }
        } else if (t[0] == "v" || t[0] == "vn") {
            ASSERT_EQ(t.size(), 4u);
            const Point p{std::stod(t[1]), std::stod(t[2]), std::stod(t[3])};
            (t[0] == "v" ? obj.positions : obj.normals).push_back(p);
        } else if (t[0] == "vt") {
            ASSERT_EQ(t.size(), 3u);
            ++obj.texCoords;
        } else if (t[0] == "g") {
            ASSERT_EQ(t.size(), 2u);
            obj.parts.push_back({t[1], {}});
        } else if (t[0] == "f") {
            ASSERT_EQ(t.size(), 4u);
            ASSERT_FALSE(obj.parts.empty());
            Triangle triangle{};
            for (size_t k = 0; k < 3; ++k) {
                // "a/a/a": the position, texture coordinate and normal of a corner share one index.
                int a = 0, b = 0, c = 0;
                char rest = 0;
                ASSERT_EQ(std::sscanf(t[k + 1].c_str(), "%d/%d/%d%c", &a, &b, &c, &rest), 3);
                ASSERT_TRUE(a == b && b == c);
                ASSERT_GE(a, 1);
                ASSERT_LE(static_cast<size_t>(a), obj.positions.size());
                triangle[k] = a - 1;
            }
            obj.parts.back().triangles.push_back(triangle);
        } else {
            ADD_FAILURE() << "unexpected line";
        }
    }
}

ObjFile parse(const std::string& text) {
    ObjFile obj;
    parseInto(text, obj);
    return obj;
}

ObjFile committed(Species species) {
    return parse(readFile(committedFile(species)));
}

double signedVolume(const ObjFile& obj, const creature_files::PartMesh& part) {
    double volume = 0.0;
    for (const Triangle& t : part.triangles) {
        volume +=
            creature_files::dot(obj.positions[t[0]],
                                creature_files::cross(obj.positions[t[1]], obj.positions[t[2]])) /
            6.0;
    }
    return volume;
}

// Closed and manifold: every directed edge occurs once and its reverse once, and the triangles
// around each vertex form one disc (their edges opposite the vertex close into one cycle).
void expectClosedManifold(const creature_files::PartMesh& part) {
    SCOPED_TRACE(part.name);
    std::map<std::pair<int32_t, int32_t>, int32_t> third;  // directed edge -> opposite corner
    for (const Triangle& t : part.triangles) {
        for (int k = 0; k < 3; ++k) {
            const bool fresh =
                third.emplace(std::pair{t[k], t[(k + 1) % 3]}, t[(k + 2) % 3]).second;
            EXPECT_TRUE(fresh) << "edge " << t[k] << "-" << t[(k + 1) % 3] << " used twice";
        }
    }
    std::map<int32_t, std::vector<std::pair<int32_t, int32_t>>> fans;  // vertex -> ring edges
    for (const auto& [edge, opposite] : third) {
        EXPECT_TRUE(third.count({edge.second, edge.first})) << "open edge " << edge.first;
        fans[opposite].push_back(edge);
    }
    for (const auto& [vertex, ring] : fans) {
        std::map<int32_t, int32_t> next;
        for (const auto& [a, b] : ring)
            next[a] = b;
        ASSERT_EQ(next.size(), ring.size()) << "vertex " << vertex << " is pinched";
        int32_t at = ring.front().first;
        size_t steps = 0;
        do {
            ASSERT_TRUE(next.count(at)) << "vertex " << vertex << " has an open fan";
            at = next[at];
            ++steps;
        } while (at != ring.front().first && steps <= ring.size());
        EXPECT_EQ(steps, ring.size()) << "vertex " << vertex << " has more than one fan";
    }
}

TEST(CreatureFiles, RegeneratedFilesEqualTheCommittedOnes) {
    const fs::path directory =
        fs::temp_directory_path() / ("creature_files_test_" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const std::string command =
        std::string(MAKE_CREATURES_PATH) + " " + directory.string() + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (Species species : creature_files::ALL_SPECIES) {
        const std::string name = creature_files::fileName(species);
        const std::string made = readFile(directory / name);
        EXPECT_FALSE(made.empty()) << name;
        EXPECT_TRUE(made == readFile(committedFile(species)))
            << name << " differs from model_data/; run make_creatures and commit the result";
    }
    fs::remove_all(directory);
}

TEST(CreatureFiles, AreThePlainObjSubsetTheReaderTakes) {
    for (Species species : creature_files::ALL_SPECIES) {
        SCOPED_TRACE(creature_files::fileName(species));
        const std::string text = readFile(committedFile(species));
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.back(), '\n');
        const ObjFile obj = parse(text);
        EXPECT_EQ(obj.texCoords, obj.positions.size());
        ASSERT_EQ(obj.normals.size(), obj.positions.size());
        for (const Point& n : obj.normals)
            EXPECT_NEAR(creature_files::length(n), 1.0, 2e-6);
    }
}

// A creature file as the program loads it: read, half-edges built, normals computed.
struct Loaded {
    Model model;
    std::vector<Vec3> fileNormals;  // the normals as read, before computeNormals replaces them
    std::string output;
};

Loaded load(Species species) {
    Loaded l;
    ::testing::internal::CaptureStdout();
    const ObjReadResult result = readObj(committedFile(species).string(), Vec3{}, l.model);
    l.fileNormals = l.model.normals;
    if (result.ok) {
        l.model.buildHalfEdges();
        l.model.computeNormals();
    }
    l.output = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(result.ok) << result.message;
    return l;
}

TEST(CreatureFiles, LoadQuietlyIntoOneSharedTopology) {
    std::vector<Loaded> loaded;
    for (Species species : creature_files::ALL_SPECIES)
        loaded.push_back(load(species));
    const Model& first = loaded.front().model;
    std::set<std::string> seen;
    for (const BodyPart& part : first.parts) {
        EXPECT_TRUE(PART_NAMES.count(part.name)) << part.name;
        EXPECT_TRUE(seen.insert(part.name).second) << part.name << " twice";
    }
    for (size_t s = 0; s < loaded.size(); ++s) {
        const Model& model = loaded[s].model;
        SCOPED_TRACE(creature_files::fileName(creature_files::ALL_SPECIES[s]));
        for (const char* complaint : {"BOUNDARY", "bLAH", "This should never happen!"}) {
            EXPECT_EQ(loaded[s].output.find(complaint), std::string::npos) << complaint;
        }
        EXPECT_EQ(model.positions.size(), first.positions.size());
        EXPECT_EQ(model.normals.size(), model.positions.size());
        ASSERT_EQ(model.parts.size(), first.parts.size());
        for (size_t i = 0; i < model.parts.size(); ++i) {
            const BodyPart& part = model.parts[i];
            EXPECT_EQ(part.name, first.parts[i].name);
            EXPECT_TRUE(part.polygons == first.parts[i].polygons) << part.name;
            EXPECT_EQ(checkHalfEdges(part), "") << part.name;
            for (RecordIndex h : part.halfEdges) {
                EXPECT_TRUE(part.halfEdge(h).paired) << part.name << ": an open edge";
            }
            for (const Polygon& polygon : part.polygons) {
                ASSERT_EQ(polygon.size(), 3u);
                for (const Corner& c : polygon)
                    EXPECT_EQ(c.normalSlot, c.positionIndex);
            }
        }
        // The files carry outward normals; the program's own, from clockwise triangles, point
        // the other way.
        for (size_t i = 0; i < model.positions.size(); ++i) {
            EXPECT_LT(dot(model.normals[i], loaded[s].fileNormals[i]), 0.0f) << "position " << i;
        }
    }
}

TEST(CreatureFiles, PartsAreClosedManifoldsWoundClockwiseFromOutside) {
    for (Species species : creature_files::ALL_SPECIES) {
        SCOPED_TRACE(creature_files::fileName(species));
        const ObjFile obj = committed(species);
        std::vector<int> owner(obj.positions.size(), -1);
        for (size_t i = 0; i < obj.parts.size(); ++i) {
            const auto& part = obj.parts[i];
            expectClosedManifold(part);
            EXPECT_LT(signedVolume(obj, part), 0.0) << part.name;
            for (const Triangle& t : part.triangles) {
                // Not degenerate in the 32-bit floats the program reads.
                const Point e1 = obj.positions[t[1]] - obj.positions[t[0]];
                const Point e2 = obj.positions[t[2]] - obj.positions[t[0]];
                EXPECT_GT(creature_files::length(creature_files::cross(e1, e2)), 1e-6) << part.name;
                for (int32_t v : t) {
                    if (owner[v] == -1) owner[v] = static_cast<int>(i);
                    EXPECT_EQ(owner[v], static_cast<int>(i)) << "position " << v << " shared";
                }
            }
        }
        EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 0) << "unused positions";
    }
}

TEST(CreatureFiles, PositionsArePairwiseApart) {
    // A refinement step finds a vertex it has met before by searching for a point equal to the
    // one it computes, so vertices at one spot could be merged across parts.
    for (Species species : creature_files::ALL_SPECIES) {
        const ObjFile obj = committed(species);
        double closest = 1e9;
        for (size_t i = 0; i < obj.positions.size(); ++i) {
            for (size_t j = i + 1; j < obj.positions.size(); ++j) {
                closest =
                    std::min(closest, creature_files::length(obj.positions[i] - obj.positions[j]));
            }
        }
        EXPECT_GT(closest, 1e-3) << creature_files::fileName(species);
    }
}

TEST(CreatureFiles, FitTheStartLayoutAndTheTriangleBudget) {
    for (Species species : creature_files::ALL_SPECIES) {
        SCOPED_TRACE(creature_files::fileName(species));
        const ObjFile obj = committed(species);
        size_t triangles = 0;
        for (const auto& part : obj.parts)
            triangles += part.triangles.size();
        EXPECT_GE(triangles, 800u);
        EXPECT_LE(triangles, 1200u);

        Point mean;
        double low = 1e9, high = -1e9;
        for (const Point& p : obj.positions) {
            mean = mean + p;
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
        mean = mean * (1.0 / static_cast<double>(obj.positions.size()));
        // Standing on y = 0, centred on x = z = 0, 2.5 to 3.5 tall.
        EXPECT_NEAR(low, 0.0, 0.06);
        EXPECT_GE(high - low, 2.5);
        EXPECT_LE(high - low, 3.5);
        EXPECT_NEAR(mean.x, 0.0, 1e-6);
        EXPECT_NEAR(mean.z, 0.0, 0.25);
        // The pick sphere (radius about 2.45 about the mean) covers the body, and children placed
        // 4 units apart do not overlap: every horizontal extent stays under 3.5.
        double widest = 0.0, farthest = 0.0;
        for (const Point& p : obj.positions) {
            farthest = std::max(farthest, creature_files::length(p - mean));
            for (const Point& q : obj.positions)
                widest = std::max(widest, std::hypot(p.x - q.x, p.z - q.z));
        }
        EXPECT_LT(farthest, 2.4);
        EXPECT_LT(widest, 3.5);
    }
}

}  // namespace
