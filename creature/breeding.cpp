// Breeding and the family tree.
//
// breed crosses a creature with a partner: a creature without children gets two children in a
// fan above it (or, in UpdateInPlace mode, is replaced by the blend), and a creature with children
// absorbs the partner and passes the change down its whole subtree. selfBreed does the same with
// mutated copies of the creature itself. Every creature made or changed is stored as its genome
// and as a refined display copy.
//
// The World's arrays grow while a breeding works on one of their entries, so entries are always
// reached by index, never through a reference held across an append.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "creature/crossover.h"
#include "creature/mutation.h"
#include "creature/world.h"
#include "view/chance.h"

namespace {

// Degrees to radians as the fan uses it: 3.141926 / 180, not pi / 180.
constexpr double FAN_DEGREES_TO_RADIANS = 0.017455144444444445;

int64_t magnitude(int32_t generation) {
    return std::llabs(static_cast<int64_t>(generation));
}

// Generation of a child of a parent with generation g: first children step away from zero on the
// positive side for g >= 0, second children only for g > 0.
int32_t childGeneration(int32_t g, int slot) {
    const bool up = slot == 1 ? g >= 0 : g > 0;
    return up ? g + 1 : g - 1;
}

// The fan angles of the two children of a parent with generation g and spread q (degrees).
double firstAngle(int32_t g, double q) {
    return 90.0 - q - g * q;
}
double secondAngle(int32_t g, double q) {
    return firstAngle(g, q) + 2.0 * q;
}

// Places child at angle a (degrees) on the circle of radius 4 about the parent, in the plane of
// the screen, turned like the parent.
void placeInFan(Model& child, const Model& parent, double a) {
    child.position = {
        static_cast<float>(parent.position.x + 4.0 * std::cos(a * FAN_DEGREES_TO_RADIANS)),
        static_cast<float>(parent.position.y + 4.0 * std::sin(a * FAN_DEGREES_TO_RADIANS)),
        parent.position.z};
    child.branchAngle = static_cast<float>(a);
    child.rotationAngle = parent.rotationAngle;
    child.rotationAxis = parent.rotationAxis;
}

// A new child: no children of its own, its tree fields from the parent's generation and slot.
void makeChild(Model& child, const Model& parent, int slot, double spread) {
    child.firstChild = false;
    child.secondChild = false;
    child.firstChildId = NONE_INDEX;
    child.secondChildId = NONE_INDEX;
    child.generation = childGeneration(parent.generation, slot);
    child.childSlot = slot;
    const double a =
        slot == 1 ? firstAngle(parent.generation, spread) : secondAngle(parent.generation, spread);
    placeInFan(child, parent, a);
}

float weightOrDrawn(float weight) {
    return weight == RANDOM_WEIGHT ? drawWeight() : weight;
}

// (rand() mod 100) x 0.01: a child's own share when a change ripples down to it.
float rippleShare() {
    return static_cast<float>((chance::draw() % 100) * 0.01);
}

}  // namespace

// Appends two new children of the parent at parentPosition (a copy: the appends can move the
// genomes it came from): their genomes, the family links to them and their display copies. The
// children are moved in, which stores what a copy would and leaves no copy behind to free.
void World::addChildren(Vec3 parentPosition, Model&& first, Model&& second) {
    familyLinks.push_back({parentPosition, first.position});
    familyLinks.push_back({parentPosition, second.position});
    genomes.push_back(std::move(first));
    genomes.push_back(std::move(second));
    for (size_t child = genomes.size() - 2; child < genomes.size(); ++child)
        displayCopy(genomes[child], creatures.emplace_back());
}

void World::breed(int index, Model other, float weight, BreedMode mode) {
    std::vector<BreedTask> pending;
    pending.push_back({index, std::move(other), weight, mode});
    rippleDown(std::move(pending));
}

// Runs breed tasks depth first: a task may add the breeding of its two children, which run (and
// finish their own subtrees) first child before second, as nested calls would.
void World::rippleDown(std::vector<BreedTask> pending) {
    while (!pending.empty()) {
        const BreedTask task = std::move(pending.back());
        pending.pop_back();
        breedOne(task, pending);
    }
}

void World::breedOne(const BreedTask& task, std::vector<BreedTask>& pending) {
    const int index = task.index;
    if (!validIndex(index)) return;
    {
        const Model& a = genomes[static_cast<size_t>(index)];
        // A creature with one child but not the other is left alone.
        if (a.firstChild != a.secondChild) return;
        const std::string mismatch = topologyMismatch(a, task.other);
        if (!mismatch.empty()) {
            std::printf("Error! Cannot breed creature %d: the two meshes differ (%s)\n", index,
                        mismatch.c_str());
            return;
        }
    }
    const Model& b = task.other;

    if (!genomes[static_cast<size_t>(index)].firstChild && task.mode == UpdateInPlace) {
        const float w = weightOrDrawn(task.weight);
        Model k = crossover(genomes[static_cast<size_t>(index)], b, w, 1, true);
        mutationChance(k, 1);
        k.firstChild = false;
        k.secondChild = false;
        k.firstChildId = NONE_INDEX;
        k.secondChildId = NONE_INDEX;
        refineAndStore(k, index);
        redrawNow();
        return;
    }

    if (!genomes[static_cast<size_t>(index)].firstChild) {  // MakeChildren
        const double spread =
            30.0 -
            1.5 * static_cast<double>(magnitude(genomes[static_cast<size_t>(index)].generation));
        const float w1 = weightOrDrawn(task.weight);
        Model k1 = crossover(genomes[static_cast<size_t>(index)], b, w1, 1, true);
        k1.id = nextCreatureId++;
        makeChild(k1, genomes[static_cast<size_t>(index)], 1, spread);
        if (screen.stepViewBack) screen.stepViewBack();
        mutationChance(k1, 1);
        genomes[static_cast<size_t>(index)].firstChildId = k1.id;
        genomes[static_cast<size_t>(index)].firstChild = true;

        const float w2 = task.weight == RANDOM_WEIGHT ? drawWeight() : w1;
        Model k2 = crossover(genomes[static_cast<size_t>(index)], b, w2, 2, false);
        k2.id = nextCreatureId++;
        makeChild(k2, genomes[static_cast<size_t>(index)], 2, spread);
        mutationChance(k2, 2);

        Model& a = genomes[static_cast<size_t>(index)];
        a.secondChild = true;
        a.secondChildId = k2.id;
        addChildren(a.position, std::move(k1), std::move(k2));
        redrawNow();
        return;
    }

    // Both children: absorb the partner, then pass the change down.
    const float w = weightOrDrawn(task.weight);
    Model h = crossover(genomes[static_cast<size_t>(index)], b, w, 1, true);
    mutationChance(h, 1);
    refineAndStore(h, index);
    redrawNow();
    const float r1 = rippleShare();
    const float r2 = rippleShare();
    const Model& updated = genomes[static_cast<size_t>(index)];
    // Pushed second child first, so that the first child's subtree runs first.
    pending.push_back({h.secondChildId, updated, r2, UpdateInPlace});
    pending.push_back({h.firstChildId, updated, r1, UpdateInPlace});
}

void World::selfBreed(int index, int firstChildId, int secondChildId) {
    std::printf("SB MYSELF:%d\n", index);
    if (!validIndex(index)) return;

    if (!genomes[static_cast<size_t>(index)].firstChild) {
        {
            const Model& a = genomes[static_cast<size_t>(index)];
            if (a.secondChild || magnitude(a.generation) >= 12) return;
        }
        std::printf("Self Breeding a Leaf\n");
        Model k1(genomes[static_cast<size_t>(index)]);
        Model k2(genomes[static_cast<size_t>(index)]);
        const double spread =
            40.0 -
            6.0 * static_cast<double>(magnitude(genomes[static_cast<size_t>(index)].generation));

        makeChild(k1, genomes[static_cast<size_t>(index)], 1, spread);
        mutate(k1, 1);
        k1.id = nextCreatureId;
        std::printf("First Kid ID: %d", k1.id);
        genomes[static_cast<size_t>(index)].firstChildId = k1.id;
        ++nextCreatureId;
        genomes[static_cast<size_t>(index)].firstChild = true;

        makeChild(k2, genomes[static_cast<size_t>(index)], 2, spread);
        mutate(k2, 2);
        k2.id = nextCreatureId;
        genomes[static_cast<size_t>(index)].secondChildId = k2.id;
        ++nextCreatureId;
        std::printf("Second Kid ID: %d", k2.id);
        genomes[static_cast<size_t>(index)].secondChild = true;
        std::printf("Just Assigned %d\n", genomes[static_cast<size_t>(index)].secondChildId);
        std::printf("Done with Second Kid\n");

        const Vec3 p = genomes[static_cast<size_t>(index)].position;
        std::printf("X:%f Y:%f Z:%f \n", p.x, p.y, p.z);
        addChildren(p, std::move(k1), std::move(k2));
        return;
    }

    if (!genomes[static_cast<size_t>(index)].secondChild) return;
    mutate(genomes[static_cast<size_t>(index)], 1);
    displayCopy(genomes[static_cast<size_t>(index)], creatures[static_cast<size_t>(index)]);
    const float r1 = rippleShare();
    const float r2 = rippleShare();
    const Model& a = genomes[static_cast<size_t>(index)];
    std::vector<BreedTask> pending;
    pending.push_back({secondChildId, a, r2, UpdateInPlace});
    pending.push_back({firstChildId, a, r1, UpdateInPlace});
    rippleDown(std::move(pending));
}
