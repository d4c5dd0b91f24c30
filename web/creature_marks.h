// Where the creatures stand in the browser's window, for the page (web/creature_marks.cpp).
#pragma once

// Hands the page (its Module.onCreatureMarks) the title state, the first pick, the creature under
// the pointer and, once the title has gone, each creature's pick sphere as seen in the window and
// its children. Must be called between display passes, when the model-view matrix is the
// camera's; while the title is shown the World is not asked for (asking would load it).
void tellCreatureMarks();
