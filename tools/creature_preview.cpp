// A look at the start creatures as the viewer will draw them, saved as a PNG.
//
// Usage: creature_preview OUT.png [--focus N] [--turn DEGREES] [--crop N] [--outward]
//
// Each creature is refined like its display copy (Loop steps: 1, 2, 1), given the normals of
// the Loop limit surface, and drawn in the start layout with the viewer's colour rule: base
// (0.02, 0.04, 0.2) plus shade = (p - L) . n + 0.2 with L = (0, 0, -1), then a dark pass pushed
// along the normals by a random 0 .. 0.124. --focus N moves the camera close to creature N
// (0, 1, 2) without changing its shading, --turn adds a turn about y to every creature, --crop N
// enlarges the part of the start view around creature N fourfold (the same image, cut out), and
// --outward flips the normals (to compare with outward-pointing ones).
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "tools/creature_designs.h"

namespace {

using creature_files::Point;
using creature_files::Triangle;

struct Part {
    std::vector<Triangle> triangles;
};

struct Shape {
    std::vector<Point> positions;
    std::vector<Point> normals;
    std::vector<Part> parts;
};

// Per part: for each directed edge (a, b), the third corner of its triangle.
using Opposite = std::map<std::pair<int32_t, int32_t>, int32_t>;

Opposite opposites(const Part& part) {
    Opposite o;
    for (const Triangle& t : part.triangles) {
        for (int k = 0; k < 3; ++k)
            o[{t[k], t[(k + 1) % 3]}] = t[(k + 2) % 3];
    }
    return o;
}

// One smooth Loop step on closed parts (no creases, every edge interior).
Shape loopStep(const Shape& s) {
    Shape r;
    for (const Part& part : s.parts) {
        const Opposite o = opposites(part);
        std::map<int32_t, int32_t> vertexPoint;
        std::map<std::pair<int32_t, int32_t>, int32_t> edgePoint;
        auto edge = [&](int32_t a, int32_t b) {
            const std::pair<int32_t, int32_t> key{std::min(a, b), std::max(a, b)};
            auto it = edgePoint.find(key);
            if (it != edgePoint.end()) return it->second;
            const Point p = ((s.positions[a] + s.positions[b]) * 3.0 +
                             (s.positions[o.at({a, b})] + s.positions[o.at({b, a})])) *
                            0.125;
            r.positions.push_back(p);
            return edgePoint[key] = static_cast<int32_t>(r.positions.size() - 1);
        };
        auto vertex = [&](int32_t v) {
            auto it = vertexPoint.find(v);
            if (it != vertexPoint.end()) return it->second;
            Point sum;
            int n = 0;
            for (const auto& [e, third] : o) {
                if (e.first == v) {
                    sum = sum + s.positions[e.second];
                    ++n;
                }
            }
            const double t = 1.0 / n;
            const double u = 3.0 + 2.0 * std::cos(2.0 * std::numbers::pi * t);
            const double beta = t * (0.625 - u * u * 0.015625);
            r.positions.push_back(sum * beta + s.positions[v] * (1.0 - n * beta));
            return vertexPoint[v] = static_cast<int32_t>(r.positions.size() - 1);
        };
        Part child;
        for (const Triangle& t : part.triangles) {
            const int32_t e0 = edge(t[0], t[1]), e1 = edge(t[1], t[2]), e2 = edge(t[2], t[0]);
            const int32_t c0 = vertex(t[0]), c1 = vertex(t[1]), c2 = vertex(t[2]);
            child.triangles.push_back({c0, e0, e2});
            child.triangles.push_back({e0, c1, e1});
            child.triangles.push_back({e0, e1, e2});
            child.triangles.push_back({e2, e1, c2});
        }
        r.parts.push_back(std::move(child));
    }
    return r;
}

// Normals of the Loop limit surface from the tangent masks, walking each vertex's ring from
// one outgoing edge to the next through the neighbouring triangle, as the viewer does.
void limitNormals(Shape& s) {
    s.normals.assign(s.positions.size(), Point{});
    for (const Part& part : s.parts) {
        const Opposite o = opposites(part);
        std::map<int32_t, int32_t> anyNeighbour;
        for (const auto& [e, third] : o)
            anyNeighbour[e.first] = e.second;
        for (const auto& [v, start] : anyNeighbour) {
            std::vector<int32_t> ring;
            int32_t a = start;
            do {
                ring.push_back(a);
                a = o.at({a, v});  // triangle (a, v, b): the next outgoing edge is v -> b
            } while (a != start);
            Point tc, ts;
            const double n = static_cast<double>(ring.size());
            for (size_t k = 0; k < ring.size(); ++k) {
                const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / n;
                tc = tc + s.positions[ring[k]] * std::cos(angle);
                ts = ts + s.positions[ring[k]] * std::sin(angle);
            }
            s.normals[v] = creature_files::unit(creature_files::cross(ts, tc));
        }
    }
}

struct Placement {
    double x, y, z, angle;
    int steps;
};

const Placement PLACEMENTS[3] = {
    {10, -6.5, -5, 135, 1}, {0, -6.5, 0, 180, 2}, {-10, -6.5, -5, 225, 1}};

std::vector<Shape> shapes;
std::string outPath;
int focus = -1;
int crop = -1;
double extraTurn = 0.0;
bool outward = false;

void drawShape(const Shape& s) {
    const Point lightPoint{0.0, 0.0, -1.0};
    for (const Part& part : s.parts) {
        for (const Triangle& t : part.triangles) {
            glBegin(GL_TRIANGLES);
            for (int32_t i : t) {
                const Point& p = s.positions[i];
                const Point& n = s.normals[i];
                const double shade = creature_files::dot(p - lightPoint, n) + 0.2;
                glNormal3d(n.x, n.y, n.z);
                glColor3d(0.02 + shade, 0.04 + shade, 0.2 + shade);
                glVertex3d(p.x, p.y, p.z);
            }
            glEnd();
            glBegin(GL_TRIANGLES);
            for (int32_t i : t) {
                const Point& p = s.positions[i];
                const Point& n = s.normals[i];
                const Point q = p + n * ((std::rand() % 100) * 0.00125);
                glColor3d(0.1, 0.1, 0.1);
                glVertex3d(q.x, q.y, q.z);
            }
            glEnd();
        }
    }
}

void savePng(const std::string& path, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "Cannot write %s\n", path.c_str());
        std::exit(1);
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int row = height - 1; row >= 0; --row) {
        png_write_row(png, pixels.data() + static_cast<size_t>(row) * width * 3);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

void display() {
    const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = static_cast<double>(width) / height;
    if (crop >= 0) {
        // A quarter of the start frustum in each direction, centred on the creature's middle.
        const double nearTop = 0.1 * std::tan(22.5 * std::numbers::pi / 180.0);
        const Placement& c = PLACEMENTS[crop];
        const double depth = 20.0 - c.z;
        const double cx = c.x / depth * 0.1, cy = (c.y + 1.5) / depth * 0.1;
        const double halfHeight = nearTop / 4.0, halfWidth = halfHeight * aspect;
        glFrustum(cx - halfWidth, cx + halfWidth, cy - halfHeight, cy + halfHeight, 0.1, 1000.0);
    } else {
        gluPerspective(45.0, aspect, 0.1, 1000.0);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (focus >= 0) {
        const Placement& f = PLACEMENTS[focus];
        glTranslated(0.0, 0.0, -7.0);
        glTranslated(-f.x, -f.y - 1.5, -f.z);
    } else {
        glTranslated(0.0, 0.0, -20.0);
    }
    glClearColor(0.41f, 0.61f, 0.81f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (int i = 0; i < 3; ++i) {
        const Placement& at = PLACEMENTS[i];
        glPushMatrix();
        glTranslated(at.x, at.y, at.z);
        glRotated(at.angle + extraTurn, 0.0, 1.0, 0.0);
        glScaled(1.02, 1.02, 1.02);  // halfway through a breath
        drawShape(shapes[static_cast<size_t>(i)]);
        glPopMatrix();
    }
    glFinish();
    savePng(outPath, width, height);
    std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    if (argc < 2) {
        std::fprintf(
            stderr,
            "Usage: creature_preview OUT.png [--focus N] [--turn DEG] [--crop N] [--outward]\n");
        return 1;
    }
    outPath = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--focus") == 0 && i + 1 < argc)
            focus = std::atoi(argv[++i]) % 3;
        else if (std::strcmp(argv[i], "--crop") == 0 && i + 1 < argc)
            crop = std::atoi(argv[++i]) % 3;
        else if (std::strcmp(argv[i], "--turn") == 0 && i + 1 < argc)
            extraTurn = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--outward") == 0)
            outward = true;
    }
    std::srand(1);
    for (int i = 0; i < 3; ++i) {
        const creature_files::CreatureMesh mesh =
            creature_files::buildCreature(creature_files::ALL_SPECIES[static_cast<size_t>(i)]);
        Shape s;
        s.positions = mesh.positions;
        for (const creature_files::PartMesh& part : mesh.parts)
            s.parts.push_back({part.triangles});
        for (int step = 0; step < PLACEMENTS[i].steps; ++step)
            s = loopStep(s);
        limitNormals(s);
        if (outward) {
            for (Point& n : s.normals)
                n = n * -1.0;
        }
        shapes.push_back(std::move(s));
    }
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(1024, 768);
    glutCreateWindow("Creature preview");
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glutDisplayFunc(display);
    glutMainLoop();
    return 0;
}
