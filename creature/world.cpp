#include "creature/world.h"

#include <cstdio>

#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"
#include "view/chance.h"

const std::vector<StartCreature>& startCreatures() {
    static const std::vector<StartCreature> start = {
        {"./model_data/bird1.obj", {10.0f, -6.5f, -5.0f}, 135.0f},
        {"./model_data/squant1.obj", {0.0f, -6.5f, 0.0f}, 180.0f},
        {"./model_data/rabbit.obj", {-10.0f, -6.5f, -5.0f}, 225.0f},
    };
    return start;
}

World::World(const std::vector<StartCreature>& start) {
    chance::reseedFromClock();
    for (size_t i = 0; i < start.size(); ++i) {
        const StartCreature& s = start[i];
        Model model(s.path, s.position);
        model.position = s.position;
        model.rotationAngle = s.rotationAngle;
        model.rotationAxis = {0.0f, 1.0f, 0.0f};
        model.scale = 1.0f;
        model.scaleSquared = model.scale * model.scale;
        model.generation = 0;
        model.childSlot = 0;
        model.branchAngle = 0.0f;
        model.firstChild = false;
        model.secondChild = false;
        model.firstChildId = NONE_INDEX;
        model.secondChildId = NONE_INDEX;
        model.subdivisionLevel = 0;
        model.id = static_cast<int32_t>(i);
        nextCreatureId = model.id + 1;
        model.auxFactor = 0.1f;
        model.pulseRate = static_cast<float>((chance::draw() % 100) * 0.0001 + 0.00001);
        model.pulsePhase = static_cast<float>(chance::draw() % 10);

        model.buildHalfEdges();
        model.computeNormals();
        genomes.push_back(model);
        refineForDisplay(model);
        if (i == 1) refineOnce(model);  // the centre creature one step finer, not counted
        creatures.push_back(std::move(model));
    }
}

// model = subdivide(model), relinked, with limit normals.
void World::refineOnce(Model& model) {
    Model refined;
    subdivideLinked(model, refined);
    model = std::move(refined);
}

void World::refineForDisplay(Model& model) const {
    for (int32_t step = 0; step < subdivisionSteps; ++step) {
        refineOnce(model);
        model.subdivisionLevel += 1;
    }
}

// What `Model copy(genome); refineForDisplay(copy); display = std::move(copy);` leaves in display,
// made in display's own storage. A copy of a genome differs from it only in what a step does not
// read (the subdivision level, source path, texture coordinates, face normals) and in normals
// beyond its positions, which a genome does not have: every genome is itself a copy.
void World::displayCopy(const Model& genome, Model& display) const {
    if (subdivisionSteps <= 0) {
        display = genome;
        return;
    }
    subdivideLinked(genome, display);
    for (int32_t step = 1; step < subdivisionSteps; ++step)
        refineOnce(display);
}

void World::refineAndStore(const Model& genome, int index) {
    displayCopy(genome, creatures[static_cast<size_t>(index)]);
    genomes[static_cast<size_t>(index)] = genome;
}

void World::redrawNow() const {
    if (screen.redrawNow) screen.redrawNow();
}

bool World::validIndex(int index) const {
    return index >= 0 && static_cast<size_t>(index) < genomes.size() &&
           static_cast<size_t>(index) < creatures.size();
}
