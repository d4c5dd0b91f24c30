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
        if (i == 1) {
            // The centre creature is shown one step finer; this step is not counted.
            model = subdivide(model);
            model.relinkHalfEdges();
            computeLimitNormals(model);
        }
        creatures.push_back(std::move(model));
    }
}

void World::refineForDisplay(Model& model) const {
    for (int32_t step = 0; step < subdivisionSteps; ++step) {
        model = subdivide(model);
        model.subdivisionLevel += 1;
        model.relinkHalfEdges();
        computeLimitNormals(model);
    }
}

void World::refineAndStore(const Model& genome, int index) {
    Model display(genome);
    refineForDisplay(display);
    genomes[static_cast<size_t>(index)] = genome;
    creatures[static_cast<size_t>(index)] = std::move(display);
}

void World::redrawNow() const {
    if (screen.redrawNow) screen.redrawNow();
}

bool World::validIndex(int index) const {
    return index >= 0 && static_cast<size_t>(index) < genomes.size() &&
           static_cast<size_t>(index) < creatures.size();
}
