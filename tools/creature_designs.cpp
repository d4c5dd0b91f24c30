#include "tools/creature_designs.h"

#include <string_view>

namespace creature_files {

namespace {

// The shapes of one creature's parts; the paired parts are the left ones (x < 0).
//
// Spine directions are the same in every creature, so that a blend of two creatures moves each
// ring towards the matching ring: head and torso run upwards with `side` +x; eyes and mouth run
// from inside the head forwards; legs from the hip down to the toes; hands from the shoulder
// outwards; the tail from the body backwards; hair from the head outwards; ears from the head to
// their tips. Left parts take `side` -x (outwards), the others +x.
struct Design {
    TubeShape head;
    TubeShape torso;
    TubeShape eye;
    TubeShape mouth;
    TubeShape leg;
    TubeShape hand;
    TubeShape tail;
    TubeShape hair;
    TubeShape ear;
};

constexpr Point X{1.0, 0.0, 0.0};
constexpr Point OUT{-1.0, 0.0, 0.0};  // outwards from a left part

// A ball of radius r whose spine runs along `axis` (a unit vector).
TubeShape ball(const Point& centre, const Point& axis, const Point& side, double r) {
    return TubeShape::ellipsoid(centre, axis * r, side, r, r);
}

// A bird: an egg-shaped body leaning forwards, a round head with a pointed beak and a crest,
// folded wings, a raised fan of tail feathers and thin legs. The ears are tucked inside the head.
Design bird() {
    Design d;
    d.torso = TubeShape::ellipsoid({0.0, 1.375, 0.15}, {0.0, 0.52, -0.3}, X, 0.6, 0.65);
    d.head = TubeShape::ellipsoid({0.0, 2.25, -0.3}, {0.0, 0.46, 0.0}, X, 0.45, 0.48);
    d.eye = ball({-0.29, 2.36, -0.61}, {0.0, 0.0, -1.0}, OUT, 0.11);
    d.mouth =
        TubeShape::curved({0.0, 2.18, -0.58}, {0.0, 2.13, -1.0}, {0.0, 1.98, -1.38}, X,
                          {{0.2, 0.16, 0.11, 0.07, 0.045}}, {{0.15, 0.12, 0.09, 0.06, 0.045}}, 0.3);
    d.leg = TubeShape::curved({-0.3, 1.05, 0.1}, {-0.3, 0.0, 0.15}, {-0.3, 0.05, -0.35}, OUT,
                              {{0.12, 0.055, 0.055, 0.06, 0.1}},
                              {{0.12, 0.055, 0.055, 0.065, 0.065}}, 0.4);
    d.hand = TubeShape::curved({-0.5, 1.8, -0.2}, {-0.72, 1.55, 0.3}, {-0.62, 1.2, 0.95}, OUT,
                               Profile::constant(0.08), {{0.22, 0.32, 0.3, 0.2, 0.1}}, 0.5);
    d.tail = TubeShape::curved({0.0, 1.2, 0.55}, {0.0, 1.35, 1.05}, {0.0, 2.05, 1.35}, X,
                               {{0.1, 0.18, 0.28, 0.36, 0.4}}, Profile::constant(0.075), 0.35);
    d.hair = TubeShape::curved({0.0, 2.55, -0.35}, {0.0, 2.95, -0.35}, {0.0, 3.0, -0.05}, X,
                               Profile::constant(0.09), {{0.15, 0.14, 0.12, 0.1, 0.07}}, 0.5);
    d.ear = TubeShape::straight({-0.12, 2.2, -0.25}, {-0.2, 2.42, -0.2}, OUT,
                                Profile::constant(0.07), Profile::constant(0.07), 1.0);
    return d;
}

// A squat round creature: a big head on a round body, big eyes and a wide mouth, short stubby
// arms and legs, small round ears, a tuft of hair and a stub of a tail.
Design squant() {
    Design d;
    d.torso = TubeShape::ellipsoid({0.0, 0.8, 0.05}, {0.0, 0.62, 0.0}, X, 0.85, 0.75);
    d.head = TubeShape::ellipsoid({0.0, 1.85, -0.1}, {0.0, 0.85, 0.0}, X, 0.95, 0.85);
    d.eye = ball({-0.36, 2.05, -0.84}, {0.0, 0.0, -1.0}, OUT, 0.22);
    d.mouth = TubeShape::ellipsoid({0.0, 1.55, -0.86}, {0.0, 0.0, -0.1}, X, 0.32, 0.09);
    d.leg = TubeShape::curved({-0.42, 0.55, 0.05}, {-0.45, 0.05, 0.0}, {-0.45, 0.12, -0.35}, OUT,
                              {{0.22, 0.22, 0.21, 0.2, 0.2}}, {{0.22, 0.2, 0.16, 0.13, 0.12}}, 0.5);
    d.hand =
        TubeShape::curved({-0.7, 1.0, -0.05}, {-1.0, 0.85, -0.15}, {-1.05, 0.55, -0.3}, OUT,
                          {{0.18, 0.17, 0.16, 0.15, 0.14}}, {{0.18, 0.17, 0.16, 0.15, 0.14}}, 0.6);
    d.tail = TubeShape::straight({0.0, 0.5, 0.7}, {0.0, 0.45, 1.0}, X, Profile::constant(0.15),
                                 Profile::constant(0.15), 0.8);
    d.hair =
        TubeShape::curved({0.0, 2.55, -0.1}, {0.0, 3.0, -0.1}, {0.0, 3.0, 0.25}, X,
                          {{0.14, 0.12, 0.1, 0.09, 0.08}}, {{0.14, 0.12, 0.1, 0.09, 0.08}}, 0.5);
    d.ear = TubeShape::curved({-0.6, 2.35, 0.0}, {-0.75, 2.55, 0.0}, {-0.85, 2.7, 0.05}, OUT,
                              Profile::constant(0.22), Profile::constant(0.09), 0.8);
    return d;
}

// A sitting rabbit: long upright ears, a round head with a muzzle, a pear-shaped body, strong
// haunches ending in big flat feet, small front paws and a round tail. The hair is tucked
// inside the head.
Design rabbit() {
    Design d;
    d.torso =
        TubeShape::curved({0.0, 0.06, 0.2}, {0.0, 0.8, 0.2}, {0.0, 1.6, 0.0}, X,
                          {{0.55, 0.66, 0.6, 0.48, 0.4}}, {{0.6, 0.72, 0.64, 0.5, 0.42}}, 1.0);
    d.head = TubeShape::ellipsoid({0.0, 1.82, -0.22}, {0.0, 0.45, 0.0}, X, 0.45, 0.55);
    d.eye = ball({-0.32, 1.95, -0.5}, unit({-0.6, 0.0, -0.8}), OUT, 0.09);
    d.mouth = TubeShape::ellipsoid({0.0, 1.68, -0.66}, {0.0, 0.0, -0.1}, X, 0.2, 0.13);
    d.leg = TubeShape::curved({-0.42, 0.75, 0.25}, {-0.56, -0.07, 0.3}, {-0.48, 0.09, -0.85}, OUT,
                              {{0.3, 0.36, 0.2, 0.17, 0.15}}, {{0.32, 0.38, 0.14, 0.1, 0.09}}, 0.4);
    d.hand = TubeShape::curved({-0.2, 0.5, -0.4}, {-0.23, 0.2, -0.52}, {-0.22, 0.05, -0.6}, OUT,
                               {{0.11, 0.1, 0.1, 0.11, 0.12}}, {{0.11, 0.1, 0.1, 0.11, 0.12}}, 0.5);
    d.tail = ball({0.0, 0.5, 0.85}, {0.0, 0.0, 1.0}, X, 0.2);
    d.hair = TubeShape::straight({0.0, 1.9, -0.2}, {0.0, 2.05, -0.2}, X, Profile::constant(0.1),
                                 Profile::constant(0.1), 1.0);
    d.ear = TubeShape::curved({-0.15, 2.2, -0.15}, {-0.3, 2.85, -0.05}, {-0.4, 3.3, 0.12}, OUT,
                              {{0.09, 0.17, 0.19, 0.16, 0.08}}, Profile::constant(0.07), 0.5);
    return d;
}

Design designOf(Species species) {
    switch (species) {
        case Species::Bird:
            return bird();
        case Species::Squant:
            return squant();
        case Species::Rabbit:
            return rabbit();
    }
    return bird();
}

// The shape of a part that is not a mirror image, by its name.
const TubeShape& shapeOf(const Design& d, std::string_view name) {
    if (name == "head") return d.head;
    if (name == "torso") return d.torso;
    if (name == "lefteye") return d.eye;
    if (name == "mouth") return d.mouth;
    if (name == "leftleg") return d.leg;
    if (name == "lefthand") return d.hand;
    if (name == "tail") return d.tail;
    if (name == "hair") return d.hair;
    return d.ear;
}

}  // namespace

std::string fileName(Species species) {
    switch (species) {
        case Species::Bird:
            return "bird1.obj";
        case Species::Squant:
            return "squant1.obj";
        case Species::Rabbit:
            return "rabbit.obj";
    }
    return {};
}

CreatureMesh buildCreature(Species species) {
    const Design design = designOf(species);
    CreatureMesh mesh;
    for (const PartSlot& slot : PART_TEMPLATE) {
        if (slot.mirrorOf >= 0) {
            appendMirrorImage(mesh, slot.name, static_cast<size_t>(slot.mirrorOf));
        } else {
            appendTube(mesh, slot.name, slot.segments, slot.rings, shapeOf(design, slot.name));
        }
    }
    finishMesh(mesh);
    return mesh;
}

}  // namespace creature_files
