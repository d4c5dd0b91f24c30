// Crossover: one creature genome out of two. Continuous traits are blended with weight w, the
// first parent's share (w x first + (1 - w) x second); crease sharpness is inherited whole from
// one parent per half-edge, chosen by a coin; the pulse is set afresh; and with an 11 percent
// chance the result is mutated.
#pragma once

#include <string>

#include "mesh/model.h"

// A weight drawn from the generator: (rand() mod 100) x 0.01, with the draws up to 0.20 raised by
// 0.3 and those from 0.80 lowered by 0.3, so it lies in [0.21, 0.79].
float drawWeight();

// Crossover pairs two genomes part by part, half-edge by half-edge and position by position.
// Returns "" when b can be paired with a like that, else what differs.
std::string topologyMismatch(const Model& a, const Model& b);

// Steps 1 to 6 of a crossover of a with b: K starts as a copy of a (id, placement, tree fields,
// normals and topology records are a's), gets blended scale, part transforms, colours and
// positions, its centre set to zero, each half-edge's sharpness (and its ends') from a or b by a
// coin per half-edge, and a new pulse for slot. With reseed, the generator is reseeded from the
// clock before each coin. The sharpness lands in records K shares with a.
// Needs topologyMismatch(a, b) to be empty.
Model crossover(const Model& a, const Model& b, float w, int slot, bool reseed);

// Step 7: draws m = rand() mod 1000 and mutates k with slot when 555 < m < 666.
void mutationChance(Model& k, int slot);
