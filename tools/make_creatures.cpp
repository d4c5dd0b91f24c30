// Writes the three start creature files.
//
// Usage: make_creatures [directory]   (default "model_data")
//
// The output depends on nothing but this program's tables: running it again gives the same
// bytes, which is how the committed files are checked.
#include <cstdio>
#include <string>

#include "tools/creature_designs.h"

int main(int argc, char** argv) {
    const std::string directory = argc > 1 ? argv[1] : "model_data";
    for (const creature_files::Species species : creature_files::ALL_SPECIES) {
        const std::string name = creature_files::fileName(species);
        const creature_files::CreatureMesh mesh = creature_files::buildCreature(species);
        const std::string text = creature_files::objText(mesh, name + ", made by make_creatures");
        std::string path = directory;
        path += "/";
        path += name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool written =
            file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (file == nullptr || std::fclose(file) != 0 || !written) {
            std::fprintf(stderr, "Cannot write %s\n", path.c_str());
            return 1;
        }
        size_t triangles = 0;
        for (const creature_files::PartMesh& part : mesh.parts)
            triangles += part.triangles.size();
        std::printf("%s: %zu positions, %zu triangles in %zu parts\n", path.c_str(),
                    mesh.positions.size(), triangles, mesh.parts.size());
    }
    return 0;
}
