// What the page asks the program's web shell for, to keep what was bred and to start from the
// creatures it keeps (web/host.js): a creature's files, and the check of start files. Both go
// through the program's file system, where the page reads and writes them.
#include <array>
#include <cstdio>
#include <string>

#include <emscripten/emscripten.h>

#include "creature/world.h"
#include "view/input_controller.h"
#include "web/creature_files.h"
#include "web/start_files.h"

namespace {

enum FileKind : int { SEEN_OBJ = 0, SEEN_GLB = 1, GENOME_OBJ = 2 };

bool writeFile(const std::string& path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" {

// Writes creature id's file of kind (0: as seen, OBJ; 1: as seen, glTF binary; 2: the genome,
// OBJ) to path, its title naming the file and the creature. Returns 0 when there is no such
// creature (or the title is shown: the creatures are not loaded then) or the file cannot be
// written.
EMSCRIPTEN_KEEPALIVE int saveCreatureFile(int id, int kind, const char* path) {
    if (InputController::instance().titleShown) return 0;
    const World& world = World::instance();
    if (id < 0 || static_cast<size_t>(id) >= world.genomes.size()) return 0;
    const auto at = static_cast<size_t>(id);
    const std::string name = std::string(path).substr(std::string(path).find_last_of('/') + 1);
    const std::string title = name + ": creature " + std::to_string(id) + " of Subdivision " +
                              "Surfaces, " + (kind == GENOME_OBJ ? "to breed from" : "as seen");
    switch (kind) {
        case SEEN_OBJ: {
            const std::string text = seenAsObj(world.creatures[at], title);
            return writeFile(path, text.data(), text.size());
        }
        case SEEN_GLB: {
            const std::vector<uint8_t> bytes = seenAsGlb(world.creatures[at], title);
            return writeFile(path, bytes.data(), bytes.size());
        }
        case GENOME_OBJ: {
            const std::string text = genomeAsObj(world.genomes[at], title);
            return writeFile(path, text.data(), text.size());
        }
        default:
            return 0;
    }
}

// Checks the start files at the three paths (one a line, in start order) as checkStartFiles
// does; returns its verdict, valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* checkGivenStartFiles(const char* paths) {
    static std::string verdict;
    std::array<std::string, 3> files;
    std::string rest = paths;
    for (std::string& file : files) {
        const size_t end = rest.find('\n');
        file = rest.substr(0, end);
        rest = end == std::string::npos ? "" : rest.substr(end + 1);
    }
    verdict = checkStartFiles(files);
    return verdict.c_str();
}

}  // extern "C"
