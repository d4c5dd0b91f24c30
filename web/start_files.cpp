#include "web/start_files.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "creature/body_parts.h"
#include "creature/crossover.h"
#include "mesh/obj_reader.h"
#include "mesh/ring_walk.h"
#include "subdiv/loop.h"

namespace {

// printf into a string.
[[gnu::format(printf, 1, 2)]] std::string format(const char* pattern, ...) {
    va_list values;
    va_start(values, pattern);
    va_list again;
    va_copy(again, values);
    const int length = std::vsnprintf(nullptr, 0, pattern, values);
    va_end(values);
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), pattern, again);
    va_end(again);
    text.pop_back();
    return text;
}

// The first ring that did not close while a check ran, or empty.
std::string ringFault;

void noteRingFault(const char*, const std::string& partName, int32_t positionIndex) {
    if (ringFault.empty()) {
        ringFault = format("the triangles around vertex %d of body part \"%s\" do not close",
                           positionIndex + 1, partName.c_str());
    }
}

std::string fileName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::string knownNames() {
    std::string names;
    for (const std::string_view name : BODY_PART_NAMES) {
        if (!names.empty()) names += ", ";
        names += name;
    }
    return names;
}

// What is wrong with one file by itself, or nothing. Leaves the model read, built and given
// normals.
std::string checkOne(const std::string& path, Model& model) {
    const std::string name = fileName(path);
    const ObjReadResult read = readObj(path, Vec3{}, model);
    if (!read.ok) {
        std::string message = read.message;
        while (!message.empty() && message.back() == '\n')
            message.pop_back();
        return format("%s cannot be read: %s", name.c_str(), message.c_str());
    }
    size_t triangles = 0;
    for (const BodyPart& part : model.parts) {
        triangles += part.polygons.size();
        if (std::find(BODY_PART_NAMES.begin(), BODY_PART_NAMES.end(), part.name) !=
            BODY_PART_NAMES.end()) {
            continue;
        }
        if (part.name == "default") return name + " has faces before its first \"g\" line";
        return format("%s has a body part named \"%s\", which is none of %s", name.c_str(),
                      part.name.c_str(), knownNames().c_str());
    }
    if (triangles == 0) return name + " has no triangles";

    // The steps the start-up load takes, the display refinement as the centre creature has it.
    ringFault.clear();
    const RingFaultHandler before = setRingFaultHandler(&noteRingFault);
    model.buildHalfEdges();
    if (ringFault.empty()) model.computeNormals();
    Model refined;
    for (int step = 0; step < 2 && ringFault.empty(); ++step) {
        Model next;
        subdivideLinked(step == 0 ? model : refined, next);
        refined = std::move(next);
    }
    setRingFaultHandler(before);
    if (!ringFault.empty()) {
        return format("%s is not a surface the program can refine: %s", name.c_str(),
                      ringFault.c_str());
    }
    return {};
}

// How a differs from b, as the end of a sentence about a's file, with what b has after the
// semicolon: "has 412 positions; ...". Empty when they share a topology.
std::string difference(const Model& a, const Model& b, const std::string& others) {
    const char* rest = others.c_str();
    if (topologyMismatch(a, b).empty()) {
        for (size_t i = 0; i < a.parts.size(); ++i) {
            if (a.parts[i].name != b.parts[i].name) {
                return format("'s body part %zu is \"%s\"; %s \"%s\"", i + 1,
                              a.parts[i].name.c_str(), rest, b.parts[i].name.c_str());
            }
        }
        return {};
    }
    if (a.parts.size() != b.parts.size()) {
        return format(" has %zu body parts; %s %zu", a.parts.size(), rest, b.parts.size());
    }
    if (a.positions.size() != b.positions.size()) {
        return format(" has %zu positions; %s %zu", a.positions.size(), rest, b.positions.size());
    }
    auto corners = [](const Polygon& polygon) {
        std::string text;
        for (const Corner& corner : polygon)
            text += format(text.empty() ? "%d" : " %d", corner.positionIndex + 1);
        return text;
    };
    for (size_t i = 0; i < a.parts.size(); ++i) {
        const BodyPart& p = a.parts[i];
        const BodyPart& q = b.parts[i];
        if (p.polygons.size() != q.polygons.size()) {
            return format("'s body part %zu (\"%s\") has %zu triangles; %s %zu", i + 1,
                          p.name.c_str(), p.polygons.size(), rest, q.polygons.size());
        }
        for (size_t f = 0; f < p.polygons.size(); ++f) {
            const std::string mine = corners(p.polygons[f]);
            const std::string theirs = corners(q.polygons[f]);
            if (mine == theirs) continue;
            return format("'s triangle %zu of body part %zu (\"%s\") has corners %s; %s %s", f + 1,
                          i + 1, p.name.c_str(), mine.c_str(), rest, theirs.c_str());
        }
    }
    return " differs from the others";
}

}  // namespace

std::string checkStartFiles(const std::array<std::string, 3>& paths) {
    std::vector<Model> models(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string wrong = checkOne(paths[i], models[i]);
        if (!wrong.empty()) return wrong;
    }
    // The one that differs from two that agree; or, where all three differ, the first two.
    const bool agree01 = difference(models[0], models[1], "").empty();
    const bool agree02 = difference(models[0], models[2], "").empty();
    const bool agree12 = difference(models[1], models[2], "").empty();
    if (agree01 && agree02) return {};
    size_t odd = 0, other = 1;
    std::string others = "the other two have";
    if (agree01) {
        odd = 2;
        other = 0;
    } else if (agree02) {
        odd = 1;
        other = 0;
    } else if (!agree12) {
        others = fileName(paths[1]) + " has";
    }
    return fileName(paths[odd]) + difference(models[odd], models[other], others);
}
