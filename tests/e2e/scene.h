// What the end-to-end tests know of the viewer's scene: where a scene point lands in the
// 1024 x 768 window for given view offsets (no trackball turn), the start creatures' pick-sphere
// centres and fan positions, the console report the start-up load prints for the shipped files,
// and silhouettes (the pixels that are not the clear colour) of window regions.
#pragma once

#include <string>

#include "harness.h"

namespace e2e {

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

// The camera's view offsets (start values: 0, 0, -20).
struct ViewOffsets {
    double x = 0;
    double y = 0;
    double z = -20;
};

struct WindowPoint {
    int x = 0;
    int y = 0;  // from the top, as X and GLUT count
};

// A spot above the start creatures where no pick sphere is.
inline constexpr WindowPoint EMPTY_SKY{512, 40};

// Where scene point p appears in the 1024 x 768 window: the camera's translation, then
// gluPerspective(45, 4 / 3, ...).
WindowPoint project(Point3 p, ViewOffsets view = {});

// The average of the "v" lines of an OBJ file: the model's centre.
Point3 objCentre(const std::string& path);

// A start creature's position (index 0, 1, 2: bird, squant, rabbit).
Point3 startPosition(int index);

// The position of a child placed in the fan at angle degrees above a parent at parent.
Point3 fanChild(Point3 parent, double degrees);

// The console report of the start-up load for the shipped files under repositoryRoot: for each
// start creature the reader's report (derived from the file), the half-edge build, the normals
// and its subdivision steps. Lines the simple derivation does not know (or unreadable files)
// are described in problem.
std::string expectedLoadTranscript(const std::string& repositoryRoot, std::string& problem);

struct Silhouette {
    long pixels = 0;  // not the clear colour
    int minX = 0, maxX = -1, minY = 0, maxY = -1;
    double centreX = 0, centreY = 0;
    double meanRed = 0, meanGreen = 0, meanBlue = 0;
};

// The pixels of rect that differ from the clear colour by more than tolerance in a channel.
Silhouette silhouette(const Image& image, Rect rect, int tolerance = 6);

// The share of the pixels of rect whose "not clear colour" state differs between a and b.
double silhouetteDifference(const Image& a, const Image& b, Rect rect);

// Pixels of rect within tolerance of the family links' grey (0.2, 0.2, 0.2).
long linkGreyPixels(const Image& image, Rect rect);

// Whether rect shows family links. A link is a line dozens of pixels long, while the shading of
// a pale creature passes through the same grey in a stray pixel or two, so a handful of matches
// is not a link.
bool showsFamilyLinks(const Image& image, Rect rect);

}  // namespace e2e
