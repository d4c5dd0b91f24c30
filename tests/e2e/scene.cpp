#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace e2e {
namespace {

constexpr double PI = 3.14159265358979323846;
// The fan's degrees-to-radians factor (3.141926 / 180).
constexpr double FAN_RADIANS = 0.017455144444444445;

const char* const START_FILES[3] = {"./model_data/bird1.obj", "./model_data/squant1.obj",
                                    "./model_data/rabbit.obj"};
const Point3 START_POSITIONS[3] = {{10, -6.5, -5}, {0, -6.5, 0}, {-10, -6.5, -5}};

bool isClear(Rgb p, int tolerance) {
    return isNear(p, CLEAR_COLOUR, tolerance);
}

}  // namespace

WindowPoint project(Point3 p, ViewOffsets view) {
    const double ex = p.x + view.x, ey = p.y + view.y, ez = p.z + view.z;
    const double f = 1.0 / std::tan(22.5 * PI / 180.0);
    const double ndcX = f / (1024.0 / 768.0) * ex / -ez;
    const double ndcY = f * ey / -ez;
    return {static_cast<int>(std::lround((ndcX + 1.0) * 512.0)),
            static_cast<int>(std::lround(768.0 - (ndcY + 1.0) * 384.0))};
}

Point3 objCentre(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    Point3 sum;
    long count = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword != "v") continue;
        Point3 v;
        words >> v.x >> v.y >> v.z;
        sum.x += v.x;
        sum.y += v.y;
        sum.z += v.z;
        ++count;
    }
    if (count == 0) return {};
    return {sum.x / count, sum.y / count, sum.z / count};
}

Point3 startPosition(int index) {
    return START_POSITIONS[index];
}

Point3 fanChild(Point3 parent, double degrees) {
    return {parent.x + 4.0 * std::cos(degrees * FAN_RADIANS),
            parent.y + 4.0 * std::sin(degrees * FAN_RADIANS), parent.z};
}

std::string expectedLoadTranscript(const std::string& repositoryRoot, std::string& problem) {
    std::string out;
    for (int i = 0; i < 3; ++i) {
        const std::string path = START_FILES[i];
        std::ifstream in(repositoryRoot + "/" + path.substr(2));
        if (!in.good()) problem += "cannot read " + path + "\n";
        out += "Opening " + path + "\n";
        long groups = 0, faces = 0, vertices = 0, normals = 0;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::vector<std::string> tokens;
            for (std::string w; words >> w;)
                tokens.push_back(w);
            if (tokens.empty() || tokens[0] == "#" || tokens[0] == "vt") continue;
            if (tokens[0] == "v") {
                ++vertices;
            } else if (tokens[0] == "vn") {
                ++normals;
            } else if (tokens[0] == "f") {
                ++faces;
            } else if (tokens[0] == "g") {
                const std::string name = tokens.size() > 1 ? tokens.back() : "";
                if (name != "default") {
                    out += name + "\n";
                    ++groups;
                }
            } else {
                problem += path + ": a line this derivation does not know: " + line + "\n";
            }
        }
        out += "Parsed obj file " + path + "\n";
        out += "Groups:" + std::to_string(groups) + "\n";
        out += "Faces:" + std::to_string(faces) + "\n";
        out += "Vertices:" + std::to_string(vertices) + "\n";
        out += "Normals:" + std::to_string(normals) + "\n";
        out += "UVs: 0\n";
        out += "Building 0th Set of Half Edges...Done\n";
        out += "Calculating Normals...Done\n";
        out += "Starting Subdivision...";
        // The centre creature is refined one step further.
        if (i == 1) out += "Starting Subdivision...";
    }
    return out;
}

Silhouette silhouette(const Image& image, Rect rect, int tolerance) {
    Silhouette s;
    s.minX = rect.x + rect.width;
    s.minY = rect.y + rect.height;
    double sumX = 0, sumY = 0, sumR = 0, sumG = 0, sumB = 0;
    for (int y = std::max(rect.y, 0); y < std::min(rect.y + rect.height, image.height()); ++y) {
        for (int x = std::max(rect.x, 0); x < std::min(rect.x + rect.width, image.width()); ++x) {
            const Rgb p = image.at(x, y);
            if (isClear(p, tolerance)) continue;
            ++s.pixels;
            s.minX = std::min(s.minX, x);
            s.maxX = std::max(s.maxX, x);
            s.minY = std::min(s.minY, y);
            s.maxY = std::max(s.maxY, y);
            sumX += x;
            sumY += y;
            sumR += p.r;
            sumG += p.g;
            sumB += p.b;
        }
    }
    if (s.pixels > 0) {
        const double n = static_cast<double>(s.pixels);
        s.centreX = sumX / n;
        s.centreY = sumY / n;
        s.meanRed = sumR / n;
        s.meanGreen = sumG / n;
        s.meanBlue = sumB / n;
    }
    return s;
}

double silhouetteDifference(const Image& a, const Image& b, Rect rect) {
    long differ = 0, total = 0;
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
        for (int x = rect.x; x < rect.x + rect.width; ++x) {
            if (x < 0 || y < 0 || x >= a.width() || y >= a.height() || x >= b.width() ||
                y >= b.height()) {
                continue;
            }
            ++total;
            if (isClear(a.at(x, y), 6) != isClear(b.at(x, y), 6)) ++differ;
        }
    }
    return total == 0 ? 0.0 : static_cast<double>(differ) / static_cast<double>(total);
}

long linkGreyPixels(const Image& image, Rect rect) {
    return image.countNear(rect, {51, 51, 51}, 3);
}

bool showsFamilyLinks(const Image& image, Rect rect) {
    return linkGreyPixels(image, rect) > 10;
}

}  // namespace e2e
