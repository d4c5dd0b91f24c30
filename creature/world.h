// The population: every creature twice, as its genome (the unrefined record that breeding reads
// and writes) and as its display copy (the genome refined for drawing and picking), the family
// links drawn between parents and children, and the counter that hands out creature ids.
//
// Invariants after every completed operation: a creature's id is its index in both genomes and
// creatures; the two arrays have the same length and only grow at the end; nextCreatureId is
// their length; every creature has two children or none.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mesh/model.h"
#include "view/math.h"

struct FamilyLink {
    Vec3 from;  // the parent's position when the link was made
    Vec3 to;    // the child's position
};

// How breed treats a creature without children.
enum BreedMode : int32_t {
    MakeChildren = 0,   // it gets two new children
    UpdateInPlace = 1,  // it is replaced by the blend
};

// Passed as the weight, makes breed draw its own weights.
inline constexpr float RANDOM_WEIGHT = -999.0f;

struct StartCreature {
    std::string path;
    Vec3 position;
    float rotationAngle;  // degrees about +y
};

// The start population, in load order: bird (id 0), squant (id 1), rabbit (id 2).
const std::vector<StartCreature>& startCreatures();

// What breeding asks of the window: show the current state at once, and move the view one unit
// farther away. The window shell supplies both; without them nothing happens on screen.
struct ScreenHooks {
    std::function<void()> redrawNow;
    std::function<void()> stepViewBack;
};

class World {
public:
    std::vector<Model> creatures;  // display copies; entry i is creature i
    std::vector<Model> genomes;    // unrefined records; entry i is creature i
    std::vector<FamilyLink> familyLinks;
    int32_t subdivisionSteps = 1;  // subdivision steps that make a display copy
    int32_t nextCreatureId = 0;
    ScreenHooks screen;

    // An empty population; the generator is left alone.
    World() = default;
    // The start-up load: seeds the generator with the calendar time, then reads, builds and
    // refines each start creature in turn (the centre one, creature 1, one step finer). A file
    // that cannot be read ends the program with the reader's message.
    explicit World(const std::vector<StartCreature>& start);

    // The one World of the program, made (and loaded) by the first call; defined by the shell.
    static World& instance();

    // The display refinement, repeated subdivisionSteps times: one subdivision step assigned back
    // into model (which keeps its own subdivisionLevel, then counts one more), a relink and the
    // limit normals.
    void refineForDisplay(Model& model) const;

    // Breeds creature index with other (a copy of the partner's genome); see breeding.cpp.
    void breed(int index, Model other, float weight, BreedMode mode);
    // Breeds creature index with itself; firstChildId / secondChildId are its children's ids, or
    // NONE_INDEX where it has none.
    void selfBreed(int index, int firstChildId, int secondChildId);

private:
    struct BreedTask {
        int index;
        Model other;
        float weight;
        BreedMode mode;
    };

    void breedOne(const BreedTask& task, std::vector<BreedTask>& pending);
    void rippleDown(std::vector<BreedTask> pending);
    static void refineOnce(Model& model);
    void displayCopy(const Model& genome, Model& display) const;
    void refineAndStore(const Model& genome, int index);
    void addChildren(Vec3 parentPosition, Model&& first, Model&& second);
    void redrawNow() const;
    bool validIndex(int index) const;
};
