#include "web/creature_files.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <tuple>

namespace {

// ---- Numbers --------------------------------------------------------------------------------

// printf onto the end of out.
[[gnu::format(printf, 2, 3)]] void appendf(std::string& out, const char* format, ...) {
    char text[256];
    va_list values;
    va_start(values, format);
    const int length = std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    out.append(text, static_cast<size_t>(std::max(0, std::min(length, 255))));
}

// A float as text that the program's reader gives back exactly (atof, then to float): nine
// significant digits name every float, and where rounding the decimal to a double on the way
// would land elsewhere, the float's exact value in seventeen.
void appendFloat(std::string& out, float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    if (static_cast<float>(std::strtod(text, nullptr)) != value) {
        std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
    }
    out += text;
}

void appendVec3(std::string& out, const char* keyword, const Vec3& v) {
    out += keyword;
    for (const float c : {v.x, v.y, v.z}) {
        out += ' ';
        appendFloat(out, c);
    }
    out += '\n';
}

// ---- The transform a body part is drawn with --------------------------------------------------

// p -> size x R(p x partScale + partOffset), as the drawing's glRotatef, glTranslatef, glScalef
// and the creature's scale place it; normals by the inverse transpose, R(n / partScale), made unit
// length again. A transform that moves nothing leaves positions and normals as they are.
class PartTransform {
public:
    PartTransform(const BodyPart& part, float size)
        : scale_(part.partScale), offset_(part.partOffset), size_(size) {
        // glRotatef turns about the axis made unit length, and not at all about a (nearly) zero
        // one.
        const double length = std::sqrt(static_cast<double>(dot(part.partAxis, part.partAxis)));
        turns_ = part.partAngle != 0.0f && length > 1e-4;
        if (turns_) {
            const float angle = part.partAngle * std::numbers::pi_v<float> / 180.0f;
            const float x = static_cast<float>(part.partAxis.x / length),
                        y = static_cast<float>(part.partAxis.y / length),
                        z = static_cast<float>(part.partAxis.z / length);
            const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
            const float r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                                   {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                                   {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
            std::memcpy(rotation_, r, sizeof r);
        }
        const Vec3 one{1.0f, 1.0f, 1.0f};
        keepsNormals_ = !turns_ && scale_ == one;
        keepsPositions_ = keepsNormals_ && offset_ == Vec3{} && size_ == 1.0f;
    }

    Vec3 position(const Vec3& p) const {
        if (keepsPositions_) return p;
        const Vec3 moved{p.x * scale_.x + offset_.x, p.y * scale_.y + offset_.y,
                         p.z * scale_.z + offset_.z};
        const Vec3 turned = rotate(moved);
        return {size_ * turned.x, size_ * turned.y, size_ * turned.z};
    }

    Vec3 normal(const Vec3& n) const {
        if (keepsNormals_) return n;
        const Vec3 unscaled{n.x / scale_.x, n.y / scale_.y, n.z / scale_.z};
        return normalizedOrZero(rotate(unscaled));
    }

    bool operator==(const PartTransform& other) const {
        return scale_ == other.scale_ && offset_ == other.offset_ && size_ == other.size_ &&
               turns_ == other.turns_ &&
               (!turns_ || std::memcmp(rotation_, other.rotation_, sizeof rotation_) == 0);
    }

private:
    Vec3 rotate(const Vec3& v) const {
        if (!turns_) return v;
        return {rotation_[0][0] * v.x + rotation_[0][1] * v.y + rotation_[0][2] * v.z,
                rotation_[1][0] * v.x + rotation_[1][1] * v.y + rotation_[1][2] * v.z,
                rotation_[2][0] * v.x + rotation_[2][1] * v.y + rotation_[2][2] * v.z};
    }

    Vec3 scale_;
    Vec3 offset_;
    float size_;
    bool turns_ = false;
    float rotation_[3][3] = {};
    bool keepsNormals_ = true;
    bool keepsPositions_ = true;
};

// Where a part's corner lands in the written positions: a position of the model keeps its number
// under the first part that uses it; another part of another transform that uses it gets a copy
// at the end.
struct PlacedPositions {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<std::vector<int32_t>> cornerIndex;  // per part, per corner of its polygons in order
};

PlacedPositions placePositions(const Model& model, bool copiesAllowed) {
    PlacedPositions placed;
    const size_t count = model.positions.size();
    std::vector<int32_t> owner(count, -1);
    std::vector<PartTransform> transforms;
    transforms.reserve(model.parts.size());
    for (const BodyPart& part : model.parts)
        transforms.emplace_back(part, model.scale);
    placed.positions.resize(count);
    placed.normals.resize(count);
    for (size_t i = 0; i < count; ++i) {
        placed.positions[i] = model.positions[i] * model.scale;
        placed.normals[i] = i < model.normals.size() ? model.normals[i] : Vec3{};
    }
    std::vector<int32_t> copy(copiesAllowed ? count : 0, -1);  // this part's copies, by position
    std::vector<size_t> copied;
    placed.cornerIndex.resize(model.parts.size());
    for (size_t p = 0; p < model.parts.size(); ++p) {
        for (const size_t at : copied)
            copy[at] = -1;
        copied.clear();
        const PartTransform& transform = transforms[p];
        for (const Polygon& polygon : model.parts[p].polygons) {
            for (const Corner& corner : polygon) {
                int32_t index = corner.positionIndex;
                if (index < 0 || static_cast<size_t>(index) >= count) {
                    placed.cornerIndex[p].push_back(-1);
                    continue;
                }
                const auto at = static_cast<size_t>(index);
                const Vec3 normal = at < model.normals.size() ? model.normals[at] : Vec3{};
                if (owner[at] < 0) {
                    owner[at] = static_cast<int32_t>(p);
                    placed.positions[at] = transform.position(model.positions[at]);
                    placed.normals[at] = transform.normal(normal);
                } else if (copiesAllowed &&
                           !(transforms[static_cast<size_t>(owner[at])] == transform)) {
                    if (copy[at] < 0) {
                        copy[at] = static_cast<int32_t>(placed.positions.size());
                        copied.push_back(at);
                        placed.positions.push_back(transform.position(model.positions[at]));
                        placed.normals.push_back(transform.normal(normal));
                    }
                    index = copy[at];
                }
                placed.cornerIndex[p].push_back(index);
            }
        }
    }
    return placed;
}

// ---- glTF's binary container -------------------------------------------------------------------

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendFloatBytes(std::vector<uint8_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendUint32(out, bits);
}

// A JSON string: quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string seenAsObj(const Model& display, const std::string& title) {
    const PlacedPositions placed = placePositions(display, true);
    std::string out = "# " + title + "\n";
    for (const Vec3& p : placed.positions)
        appendVec3(out, "v", p);
    for (const Vec3& n : placed.normals)
        appendVec3(out, "vn", n);
    for (size_t p = 0; p < display.parts.size(); ++p) {
        out += "g " + display.parts[p].name + "\n";
        size_t corner = 0;
        for (const Polygon& polygon : display.parts[p].polygons) {
            const int32_t* at = &placed.cornerIndex[p][corner];
            corner += polygon.size();
            // The first three corners make the triangle the drawing shows, written the other way
            // round.
            if (polygon.size() < 3 || at[0] < 0 || at[1] < 0 || at[2] < 0) continue;
            appendf(out, "f %d//%d %d//%d %d//%d\n", at[0] + 1, at[0] + 1, at[2] + 1, at[2] + 1,
                    at[1] + 1, at[1] + 1);
        }
    }
    return out;
}

std::vector<uint8_t> seenAsGlb(const Model& display, const std::string& title) {
    const PlacedPositions placed = placePositions(display, true);
    std::vector<uint8_t> binary;
    std::string nodes, meshes, views, accessors;
    size_t meshCount = 0;
    std::vector<int32_t> local(placed.positions.size(), -1);  // this part's vertex by position
    for (size_t p = 0; p < display.parts.size(); ++p) {
        // The part's own vertices, in the order its triangles first use them.
        std::vector<int32_t> used;
        std::vector<uint32_t> indices;
        size_t corner = 0;
        for (const Polygon& polygon : display.parts[p].polygons) {
            const int32_t* at = &placed.cornerIndex[p][corner];
            corner += polygon.size();
            if (polygon.size() < 3 || at[0] < 0 || at[1] < 0 || at[2] < 0) continue;
            for (const int32_t i : {at[0], at[2], at[1]}) {
                int32_t& vertex = local[static_cast<size_t>(i)];
                if (vertex < 0) {
                    vertex = static_cast<int32_t>(used.size());
                    used.push_back(i);
                }
                indices.push_back(static_cast<uint32_t>(vertex));
            }
        }
        for (const int32_t i : used)
            local[static_cast<size_t>(i)] = -1;
        if (indices.empty()) continue;

        // Positions, normals and indices, each a buffer view and an accessor of its own.
        Vec3 low = placed.positions[static_cast<size_t>(used[0])];
        Vec3 high = low;
        const size_t start = binary.size();
        for (const int32_t i : used) {
            const Vec3& v = placed.positions[static_cast<size_t>(i)];
            low = {std::fmin(low.x, v.x), std::fmin(low.y, v.y), std::fmin(low.z, v.z)};
            high = {std::fmax(high.x, v.x), std::fmax(high.y, v.y), std::fmax(high.z, v.z)};
            for (const float c : {v.x, v.y, v.z})
                appendFloatBytes(binary, c);
        }
        const size_t normalsStart = binary.size();
        for (const int32_t i : used) {
            Vec3 n = normalizedOrZero(placed.normals[static_cast<size_t>(i)]);
            if (n == Vec3{}) n = {0.0f, 0.0f, 1.0f};  // glTF takes unit normals only
            for (const float c : {n.x, n.y, n.z})
                appendFloatBytes(binary, c);
        }
        const size_t indicesStart = binary.size();
        for (const uint32_t i : indices)
            appendUint32(binary, i);

        const char* comma = meshCount > 0 ? "," : "";
        const size_t first = 3 * meshCount;
        for (const auto& [from, to, target] :
             {std::tuple{start, normalsStart, 34962}, std::tuple{normalsStart, indicesStart, 34962},
              std::tuple{indicesStart, binary.size(), 34963}}) {
            appendf(views, "%s{\"buffer\":0,\"byteOffset\":%zu,\"byteLength\":%zu,\"target\":%d}",
                    views.empty() ? "" : ",", from, to - from, target);
        }
        // The exact values of the floats, as a validator compares them with the data.
        appendf(accessors,
                "%s{\"bufferView\":%zu,\"componentType\":5126,\"count\":%zu,\"type\":\"VEC3\","
                "\"min\":[%.17g,%.17g,%.17g],\"max\":[%.17g,%.17g,%.17g]}",
                comma, first, used.size(), double{low.x}, double{low.y}, double{low.z},
                double{high.x}, double{high.y}, double{high.z});
        appendf(accessors,
                ",{\"bufferView\":%zu,\"componentType\":5126,\"count\":%zu,\"type\":\"VEC3\"},"
                "{\"bufferView\":%zu,\"componentType\":5125,\"count\":%zu,\"type\":\"SCALAR\"}",
                first + 1, used.size(), first + 2, indices.size());
        const std::string name = jsonString(display.parts[p].name);
        appendf(meshes, "%s{\"name\":", comma);
        meshes += name;
        appendf(meshes,
                ",\"primitives\":[{\"attributes\":{\"POSITION\":%zu,\"NORMAL\":%zu},"
                "\"indices\":%zu}]}",
                first, first + 1, first + 2);
        appendf(nodes, "%s{\"name\":", comma);
        nodes += name;
        appendf(nodes, ",\"mesh\":%zu}", meshCount);
        ++meshCount;
    }

    std::string json =
        "{\"asset\":{\"version\":\"2.0\",\"generator\":\"Subdivision Surfaces\"}"
        ",\"scene\":0,\"scenes\":[{\"name\":" +
        jsonString(title);
    if (meshCount > 0) {
        json += ",\"nodes\":[";
        for (size_t i = 0; i < meshCount; ++i)
            appendf(json, "%s%zu", i > 0 ? "," : "", i);
        json += "]}],\"nodes\":[" + nodes + "],\"meshes\":[" + meshes + "]";
        appendf(json, ",\"buffers\":[{\"byteLength\":%zu}]", binary.size());
        json += ",\"bufferViews\":[" + views + "],\"accessors\":[" + accessors + "]";
    } else {
        json += "}]";
    }
    json += "}";
    while (json.size() % 4 != 0)
        json += ' ';

    // The header, the JSON chunk, and the binary chunk (every part of it four-byte aligned).
    const bool hasBinary = !binary.empty();
    const size_t total = 12 + 8 + json.size() + (hasBinary ? 8 + binary.size() : 0);
    std::vector<uint8_t> glb;
    glb.reserve(total);
    appendUint32(glb, 0x46546C67);  // "glTF"
    appendUint32(glb, 2);
    appendUint32(glb, static_cast<uint32_t>(total));
    appendUint32(glb, static_cast<uint32_t>(json.size()));
    appendUint32(glb, 0x4E4F534A);  // "JSON"
    glb.insert(glb.end(), json.begin(), json.end());
    if (hasBinary) {
        appendUint32(glb, static_cast<uint32_t>(binary.size()));
        appendUint32(glb, 0x004E4942);  // "BIN"
        glb.insert(glb.end(), binary.begin(), binary.end());
    }
    return glb;
}

std::string genomeAsObj(const Model& genome, const std::string& title) {
    // A start file's positions and triangles must pair with the shipped ones': no copies.
    const PlacedPositions placed = placePositions(genome, false);
    std::string out = "# " + title + "\n";
    for (const Vec3& p : placed.positions)
        appendVec3(out, "v", p);
    for (size_t i = 0; i < placed.positions.size(); ++i)
        out += "vt 0 0\n";
    for (const Vec3& n : placed.normals)
        appendVec3(out, "vn", normalizedOrZero(n));
    for (const BodyPart& part : genome.parts) {
        out += "g " + part.name + "\n";
        for (const Polygon& polygon : part.polygons) {
            out += "f";
            for (const Corner& corner : polygon) {
                const int32_t number = corner.positionIndex + 1;
                appendf(out, " %d/%d/%d", number, number, number);
            }
            out += "\n";
        }
    }
    return out;
}
