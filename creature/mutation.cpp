#include "creature/mutation.h"

#include "view/chance.h"

void mutate(Model& model, int slot) {
    for (BodyPart& part : model.parts) {
        chance::reseedFromClock();
        const double step = (chance::draw() % 2 == 0) ? 0.01 : 1.0 / 150.0;
        part.partScale.x = static_cast<float>((chance::draw() % 100) * step + 0.5);
        part.partScale.y = static_cast<float>((chance::draw() % 100) * step + 0.5);
        part.partScale.z = static_cast<float>((chance::draw() % 100) * step + 0.5);

        for (RecordIndex h : part.halfEdges) {
            chance::reseedFromClock();
            HalfEdge& e = part.halfEdge(h);
            const bool linked = e.origin != NONE_INDEX && e.target != NONE_INDEX;
            if (chance::draw() % 1000 % 2 == 0) {
                e.sharpness = 0;
                if (linked) {
                    part.vertex(e.origin).sharpness = 0;
                    part.vertex(e.target).sharpness = 0;
                }
            } else {
                e.sharpness = chance::draw() % 4;
                const int originSharpness = chance::draw() % 4;
                const int targetSharpness = chance::draw() % 4;
                if (linked) {
                    part.vertex(e.origin).sharpness = originSharpness;
                    part.vertex(e.target).sharpness = targetSharpness;
                }
            }
        }
    }
    model.auxFactor = 0.1f;
    // A model without parts keeps its pulse rate.
    if (!model.parts.empty()) {
        model.pulseRate = static_cast<float>((1.0 / model.parts.front().partScale.x) * 0.005);
    }
    model.pulsePhase = static_cast<float>((chance::draw() % 10) * 0.01 + slot + 0.001);
}
