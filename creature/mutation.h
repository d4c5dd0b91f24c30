// Mutation: new random part scales, crease sharpness values and breathing pulse for a creature.
#pragma once

#include "mesh/model.h"

// Gives every body part of model a new partScale and every half-edge new sharpness values (on
// the half-edge and on its two end vertices), then a new pulse. slot (1 for a first child, 2 for
// a second; 1 when a parent is mutated) is the whole-number part of the new pulsePhase.
//
// The generator is reseeded from the clock before every part and before every half-edge, so
// within one second every part gets the same scale and every half-edge the same outcome.
// Sharpness is written into the topology records, which the model shares with every copy of it.
void mutate(Model& model, int slot);
