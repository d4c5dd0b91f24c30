#include "creature/crossover.h"

#include "creature/mutation.h"
#include "view/chance.h"

namespace {

Vec3 blend(const Vec3& a, const Vec3& b, float w) {
    return {w * a.x + (1.0f - w) * b.x, w * a.y + (1.0f - w) * b.y, w * a.z + (1.0f - w) * b.z};
}

Colour blend(const Colour& a, const Colour& b, float w) {
    return {w * a.r + (1.0f - w) * b.r, w * a.g + (1.0f - w) * b.g, w * a.b + (1.0f - w) * b.b};
}

}  // namespace

float drawWeight() {
    // The scaling and the bounds are doubles, so that 0.20 and 0.80 themselves are moved.
    const double d = (chance::draw() % 100) * 0.01;
    if (d <= 0.2) return static_cast<float>(d + 0.3);
    if (d >= 0.8) return static_cast<float>(d - 0.3);
    return static_cast<float>(d);
}

std::string topologyMismatch(const Model& a, const Model& b) {
    if (a.parts.size() != b.parts.size()) return "different numbers of body parts";
    if (a.positions.size() != b.positions.size()) return "different numbers of vertices";
    for (size_t i = 0; i < a.parts.size(); ++i) {
        const BodyPart& p = a.parts[i];
        const BodyPart& q = b.parts[i];
        if (p.polygons.size() != q.polygons.size())
            return "different numbers of faces in part " + std::to_string(i);
        if (p.halfEdges.size() != q.halfEdges.size())
            return "different half-edges in part " + std::to_string(i);
        if (!p.halfEdges.empty() && (!p.arena || !q.arena))
            return "part " + std::to_string(i) + " has no topology";
        for (size_t f = 0; f < p.polygons.size(); ++f) {
            if (p.polygons[f].size() != q.polygons[f].size())
                return "different faces in part " + std::to_string(i);
            for (size_t c = 0; c < p.polygons[f].size(); ++c) {
                if (p.polygons[f][c].positionIndex != q.polygons[f][c].positionIndex) {
                    return "different faces in part " + std::to_string(i);
                }
            }
        }
    }
    return {};
}

Model crossover(const Model& a, const Model& b, float w, int slot, bool reseed) {
    Model k(a);
    k.centre = {0.0f, 0.0f, 0.0f};
    k.scale = w * a.scale + (1.0f - w) * b.scale;
    k.scaleSquared = k.scale * k.scale;

    for (size_t i = 0; i < a.parts.size(); ++i) {
        const BodyPart& t = a.parts[i];
        const BodyPart& p = b.parts[i];
        BodyPart& out = k.parts[i];
        out.partScale = blend(t.partScale, p.partScale, w);
        // Angle and axis blend as one four-number tuple; the axis is not renormalised.
        const Vec4 rotation =
            Vec4{t.partAngle, t.partAxis.x, t.partAxis.y, t.partAxis.z} * w +
            Vec4{p.partAngle, p.partAxis.x, p.partAxis.y, p.partAxis.z} * (1.0f - w);
        out.partAngle = rotation.x;
        out.partAxis = {rotation.y, rotation.z, rotation.w};
        out.partOffset = blend(t.partOffset, p.partOffset, w);
        out.colour = blend(t.colour, p.colour, w);

        // Sharpness from a donor per half-edge: an even coin picks a, an odd one b.
        for (size_t j = 0; j < out.halfEdges.size(); ++j) {
            if (reseed) chance::reseedFromClock();
            const BodyPart& donor = (chance::draw() % 100 % 2 == 0) ? t : p;
            const HalfEdge& g = donor.halfEdge(donor.halfEdges[j]);
            const int edgeSharpness = g.sharpness;
            const int originSharpness =
                g.origin != NONE_INDEX ? donor.vertex(g.origin).sharpness : 0;
            const int targetSharpness =
                g.target != NONE_INDEX ? donor.vertex(g.target).sharpness : 0;
            HalfEdge& h = out.halfEdge(out.halfEdges[j]);
            h.sharpness = edgeSharpness;
            if (h.origin != NONE_INDEX) out.vertex(h.origin).sharpness = originSharpness;
            if (h.target != NONE_INDEX) out.vertex(h.target).sharpness = targetSharpness;
        }
    }

    for (size_t i = 0; i < k.positions.size(); ++i)
        k.positions[i] = blend(a.positions[i], b.positions[i], w);

    k.auxFactor = 0.1f;
    if (!k.parts.empty()) k.pulseRate = static_cast<float>(0.005 / k.parts.front().partScale.x);
    k.pulsePhase = static_cast<float>((chance::draw() % 10) * 0.01 + slot + 0.001);
    return k;
}

void mutationChance(Model& k, int slot) {
    const int m = chance::draw() % 1000;
    if (m > 555 && m < 666) mutate(k, slot);
}
