// Prints digests of the World after a fixed run: the start-up load, a breeding, a self-breeding
// and a breeding that ripples down, with the clock held still. Built for the desktop and for the
// browser (run in node); the two must print the same text, which shows that both builds of the
// core compute the same bits. Each digest covers every genome and display copy (positions,
// normals, polygons, topology records, part and model fields) and the family links.
//
// Run from the repository root, where ./model_data is.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "creature/world.h"
#include "view/chance.h"

namespace {

// 64-bit FNV-1a over the bytes of every value fed in.
class Digest {
public:
    template <typename T>
    void add(const T& value) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (const unsigned char b : bytes)
            hash_ = (hash_ ^ b) * 0x100000001b3ull;
    }
    void add(const Vec3& v) {
        add(v.x);
        add(v.y);
        add(v.z);
    }
    // Sizes as 64 bits, whatever the width of size_t.
    void addSize(size_t n) { add(static_cast<uint64_t>(n)); }
    void add(const std::string& s) {
        addSize(s.size());
        for (const char c : s)
            add(c);
    }
    template <typename T>
    void addAll(const std::vector<T>& values) {
        addSize(values.size());
        for (const T& v : values)
            add(v);
    }
    uint64_t value() const { return hash_; }

private:
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

void addPart(Digest& d, const BodyPart& part) {
    d.add(part.name);
    d.add(part.colour.r);
    d.add(part.colour.g);
    d.add(part.colour.b);
    d.add(part.partScale);
    d.add(part.partOffset);
    d.add(part.partAngle);
    d.add(part.partAxis);
    d.addSize(part.polygons.size());
    for (const Polygon& polygon : part.polygons) {
        d.addSize(polygon.size());
        for (const Corner& c : polygon) {
            d.add(c.positionIndex);
            d.add(c.normalSlot);
            d.add(c.flagA);
        }
    }
    d.addAll(part.faceNormals);
    d.addAll(part.halfEdges);
    d.addAll(part.faces);
    d.addAll(part.vertices);
    if (part.arena == nullptr) return;
    for (const RecordIndex h : part.halfEdges) {
        if (h < 0 || static_cast<size_t>(h) >= part.arena->halfEdges.size()) continue;
        const HalfEdge& e = part.arena->halfEdges[static_cast<size_t>(h)];
        for (const int32_t field :
             {e.origin, e.target, e.face, e.twin, e.next, e.prev, e.sharpness, e.midpointIndex})
            d.add(field);
        d.add(e.boundary);
    }
    for (const RecordIndex v : part.vertices) {
        if (v < 0 || static_cast<size_t>(v) >= part.arena->vertices.size()) continue;
        const MeshVertex& m = part.arena->vertices[static_cast<size_t>(v)];
        for (const int32_t field : {m.positionIndex, m.edge, m.valence, m.sharpness})
            d.add(field);
        d.add(m.boundary);
    }
}

void addModel(Digest& d, const Model& m) {
    for (const int32_t field :
         {m.firstChildId, m.secondChildId, m.generation, m.childSlot, m.id, m.subdivisionLevel})
        d.add(field);
    for (const float field : {m.branchAngle, m.rotationAngle, m.scale, m.scaleSquared, m.pulseRate,
                              m.auxFactor, m.pulsePhase})
        d.add(field);
    d.add(m.rotationAxis);
    d.add(m.position);
    d.add(m.centre);
    d.addAll(m.positions);
    d.addAll(m.normals);
    d.addSize(m.parts.size());
    for (const BodyPart& part : m.parts)
        addPart(d, part);
}

void printDigest(const char* stage, const World& world) {
    Digest d;
    for (const Model& m : world.genomes)
        addModel(d, m);
    for (const Model& m : world.creatures)
        addModel(d, m);
    for (const FamilyLink& link : world.familyLinks) {
        d.add(link.from);
        d.add(link.to);
    }
    std::printf("\ndigest %s: %zu creatures, %016llx\n", stage, world.creatures.size(),
                static_cast<unsigned long long>(d.value()));
}

}  // namespace

int main() {
    // The clock, and so every seed the breeding takes from it, is held still.
    chance::setClock([] { return std::time_t{1700000000}; });
    World world(startCreatures());
    printDigest("start population", world);

    world.breed(0, world.genomes[2], RANDOM_WEIGHT, MakeChildren);
    printDigest("after breeding 0 and 2", world);

    world.selfBreed(1, NONE_INDEX, NONE_INDEX);
    printDigest("after self-breeding 1", world);

    // Creature 0 has children now: the change ripples down to them.
    world.breed(0, world.genomes[1], RANDOM_WEIGHT, MakeChildren);
    printDigest("after breeding 0 and 1 again", world);

    return 0;
}
