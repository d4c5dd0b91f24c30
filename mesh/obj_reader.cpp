#include "mesh/obj_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace {

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// format with its one conversion filled in by value, as printf would print it.
template <typename T>
std::string formatted(const char* format, T value) {
    const int n = std::snprintf(nullptr, 0, format, value);
    std::string out(static_cast<size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, format, value);
    return out;
}

// Prints message and returns it as the failure with that exit status.
ObjReadResult printedFailure(std::string message, int status) {
    std::fputs(message.c_str(), stdout);
    ObjReadResult failure;
    failure.ok = false;
    failure.message = std::move(message);
    failure.exitStatus = status;
    return failure;
}

// Reads one "%d" conversion at text[pos...]: white space, optional sign, at least one digit.
// Returns 1 on success, 0 on a matching failure, -1 when only white space is left.
int scanInt(std::string_view text, size_t& pos, int& value) {
    while (pos < text.size() && isCSpace(text[pos]))
        ++pos;
    if (pos == text.size()) return -1;
    size_t p = pos;
    bool negative = false;
    if (text[p] == '+' || text[p] == '-') {
        negative = text[p] == '-';
        ++p;
    }
    if (p == text.size() || !isDigit(text[p])) return 0;
    int64_t magnitude = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; p < text.size() && isDigit(text[p]); ++p) {
        magnitude = std::min<int64_t>(magnitude * 10 + (text[p] - '0'), kLimit);
    }
    int64_t v = negative ? -magnitude : magnitude;
    v = std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max());
    value = static_cast<int>(v);
    pos = p;
    return 1;
}

// Splits a line into tokens at spaces (the line end is already gone). Empty tokens are dropped.
void tokenize(std::string_view line, std::vector<std::string_view>& tokens) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
}

bool finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

int clampedMinusOne(int n) {
    return n == std::numeric_limits<int>::min() ? n : n - 1;
}

// The line-by-line state of one file.
class ObjParser {
public:
    ObjParser(Model& model, std::string path) : model_(model), path_(std::move(path)) {}

    // One line of the file, without its line end. Returns false after an error.
    bool line(std::string_view text) {
        ++lineNumber_;
        // The line ends at an embedded NUL, as a C string would.
        if (const size_t nul = text.find('\0'); nul != std::string_view::npos) {
            text = text.substr(0, nul);
        }
        tokenize(text, tokens_);
        for (size_t i = 0; i < tokens_.size(); ++i) {
            const std::string_view t = tokens_[i];
            const size_t argc = tokens_.size() - i - 1;
            const std::string_view* args = tokens_.data() + i + 1;
            if (t == "v") return position(args, argc);
            if (t == "vn") return normal(args, argc);
            if (t == "vt") return texCoord(argc);
            if (t == "g") return group(args, argc);
            if (t == "f") return face(args, argc);
        }
        return true;
    }

    // End of file: part defaults, centre, deferred index checks and the report.
    bool finish() {
        for (const ForwardReference& ref : forwardReferences_) {
            if (ref.largestIndex >= static_cast<int64_t>(model_.positions.size())) {
                return fail(
                    formatted("Error! Face index out of range (beyond the number of "
                              "vertices) on line %ld\n",
                              ref.line));
            }
        }
        for (BodyPart& part : model_.parts) {
            part.colour = {0.02f, 0.04f, 0.2f};
            part.partOffset = {0.0f, 0.0f, 0.0f};
            part.partScale = {1.0f, 1.0f, 1.0f};
            part.partAngle = 0.0f;
            part.partAxis = {0.0f, 0.0f, 0.0f};
        }
        const size_t count = model_.positions.size();
        if (count > 0) {
            const float inverse = 1.0f / static_cast<float>(count);
            model_.centre = {model_.centre.x * inverse, model_.centre.y * inverse,
                             model_.centre.z * inverse};
        } else {
            model_.centre = {0.0f, 0.0f, 0.0f};
        }
        std::printf("Parsed obj file %s\n", path_.c_str());
        std::printf("Groups:%d\n", static_cast<int>(model_.parts.size()));
        std::printf("Faces:%ld\n", faces_);
        std::printf("Vertices:%d\n", static_cast<int>(model_.positions.size()));
        std::printf("Normals:%d\n", static_cast<int>(model_.normals.size()));
        std::printf("UVs: %d\n", static_cast<int>(model_.texCoords.size()));
        return true;
    }

    const ObjReadResult& result() const { return result_; }

private:
    bool fail(std::string message, int status = 1) {
        result_ = printedFailure(std::move(message), status);
        return false;
    }

    bool position(const std::string_view* args, size_t argc) {
        if (argc != 3) return fail("Error! Vertex vector size not 3\n");
        const Vec3 p{parseObjFloat(args[0]), parseObjFloat(args[1]), parseObjFloat(args[2])};
        // Infinity or NaN would spread through every later step (centre, normals, picking).
        if (!finite(p)) {
            return fail(formatted("Error! Vertex coordinate is not a finite number on line %ld\n",
                                  lineNumber_));
        }
        model_.positions.push_back(p);
        model_.centre = model_.centre + p;
        return true;
    }

    bool normal(const std::string_view* args, size_t argc) {
        if (argc != 3) return fail("Error! Normal vector count not 3\n");
        const Vec3 n{parseObjFloat(args[0]), parseObjFloat(args[1]), parseObjFloat(args[2])};
        if (!finite(n)) {
            return fail(formatted("Error! Normal coordinate is not a finite number on line %ld\n",
                                  lineNumber_));
        }
        model_.normals.push_back(n);
        return true;
    }

    bool texCoord(size_t argc) {
        if (argc != 2) return fail("Error! Texture Coord Count not 2\n");
        return true;
    }

    bool group(const std::string_view* args, size_t argc) {
        const std::string name = argc > 0 ? std::string(args[argc - 1]) : std::string();
        if (name == "default") return true;
        model_.parts.emplace_back(name);
        std::printf("%s\n", name.c_str());
        return true;
    }

    bool face(const std::string_view* args, size_t argc) {
        if (model_.parts.empty()) model_.parts.emplace_back("default");
        int numbers[3] = {0, 0, 0};
        int lastScan = -1;
        Polygon polygon;
        for (size_t i = 0; i < argc; ++i) {
            lastScan = scanFaceToken(args[i], numbers);
            Corner corner;
            corner.flagA = numbers[2] != 1 ? 1 : 0;
            corner.positionIndex = clampedMinusOne(numbers[0]);
            corner.flagB = 0;
            corner.reserved = 0;
            corner.flagC = 1;
            corner.normalSlot = clampedMinusOne(numbers[1]);
            polygon.push_back(corner);
        }
        if (lastScan < 1) return true;

        // Later steps read three corners of every polygon and index the positions with them.
        if (polygon.size() < 3) {
            return fail(
                formatted("Error! Face with fewer than 3 corners on line %ld\n", lineNumber_));
        }
        int32_t largest = 0;
        for (const Corner& c : polygon) {
            if (c.positionIndex < 0) {
                return fail(
                    formatted("Error! Face index out of range (zero or negative) on "
                              "line %ld\n",
                              lineNumber_));
            }
            largest = std::max(largest, c.positionIndex);
        }
        // Positions may still follow: an index beyond those read so far is checked at the end.
        if (largest >= static_cast<int64_t>(model_.positions.size())) {
            forwardReferences_.push_back({lineNumber_, largest});
        }
        model_.parts.back().polygons.push_back(std::move(polygon));
        ++faces_;
        return true;
    }

    Model& model_;
    std::string path_;
    ObjReadResult result_;
    std::vector<std::string_view> tokens_;
    long lineNumber_ = 0;
    long faces_ = 0;
    // Polygons that used an index beyond the positions read before them, in line order.
    struct ForwardReference {
        long line;
        int32_t largestIndex;
    };
    std::vector<ForwardReference> forwardReferences_;
};

// The assignment empties the geometry and resets the creature fields; the target keeps its
// sourcePath and texCoords, which are set here.
void resetModel(Model& model, const std::string& path, Vec3 position) {
    model = Model();
    model.sourcePath = path;
    model.texCoords.clear();
    model.position = position;
}

// Feeds text to the parser line by line; a line end is "\n", and a "\r" right before it belongs
// to the line end. The last line needs no line end.
class LineSplitter {
public:
    explicit LineSplitter(ObjParser& parser) : parser_(parser) {}

    // Processes every complete line in data; keeps the unfinished tail for the next call.
    bool feed(std::string_view data) {
        size_t start = 0;
        while (true) {
            const size_t end = data.find('\n', start);
            if (end == std::string_view::npos) break;
            std::string_view line = data.substr(start, end - start);
            if (!carry_.empty()) {
                carry_.append(line);
                line = carry_;
            }
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            const bool ok = parser_.line(line);
            carry_.clear();
            if (!ok) return false;
            start = end + 1;
        }
        carry_.append(data.substr(start));
        return true;
    }

    bool finish() {
        if (carry_.empty()) return true;
        const bool ok = parser_.line(carry_);
        carry_.clear();
        return ok;
    }

private:
    ObjParser& parser_;
    std::string carry_;
};

}  // namespace

float parseObjFloat(std::string_view token) {
    size_t i = 0;
    while (i < token.size() && isCSpace(token[i]))
        ++i;
    std::string_view rest = token.substr(i);
    bool slowPath = false;
    if (!rest.empty() && rest[0] == '+') {
        // from_chars takes no '+'; "+-1" is no number at all.
        rest.remove_prefix(1);
        if (rest.empty() || rest[0] == '-' || rest[0] == '+') return 0.0f;
    }
    const std::string_view digits = (!rest.empty() && rest[0] == '-') ? rest.substr(1) : rest;
    if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        slowPath = true;  // hexadecimal floating point
    }
    double value = 0.0;
    if (!slowPath) {
        const std::errc status = parseDecimal(rest, value);
        if (status == std::errc()) return static_cast<float>(value);
        if (status == std::errc::invalid_argument) return 0.0f;
        // Out of range: strtod decides between infinity, a denormal and zero.
    }
    const std::string copy(token);
    return static_cast<float>(std::strtod(copy.c_str(), nullptr));
}

int scanFaceToken(std::string_view token, int numbers[3]) {
    size_t pos = 0;
    int stored = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (pos >= token.size() || token[pos] != '/') return stored;
            ++pos;
        }
        int value = 0;
        const int r = scanInt(token, pos, value);
        if (r < 0) return stored == 0 ? -1 : stored;
        if (r == 0) return stored;
        numbers[k] = value;
        ++stored;
    }
    return stored;
}

ObjReadResult readObjText(std::string_view text, const std::string& path, Vec3 position,
                          Model& model) {
    resetModel(model, path, position);
    ObjParser parser(model, path);
    LineSplitter lines(parser);
    if (lines.feed(text) && lines.finish()) parser.finish();
    return parser.result();
}

ObjReadResult readObj(const std::string& path, Vec3 position, Model& model) {
    resetModel(model, path, position);
    std::printf("Opening %s\n", path.c_str());
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r"),
                                                         &std::fclose);
    if (!file) return printedFailure(formatted("Cannot Open %s... Quitting!\n", path.c_str()), -1);

    ObjParser parser(model, path);
    LineSplitter lines(parser);
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    while (ok) {
        const size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n == 0) break;
        ok = lines.feed(std::string_view(buffer.data(), n));
    }
    if (ok && std::ferror(file.get())) {
        return printedFailure(formatted("Error! Cannot read %s\n", path.c_str()), 1);
    }
    file.reset();
    if (ok && lines.finish()) parser.finish();
    return parser.result();
}

// The path is taken by value, like the position.
Model::Model(std::string path, Vec3 atPosition) {  // NOLINT(performance-unnecessary-value-param)
    const ObjReadResult result = readObj(path, atPosition, *this);
    if (!result.ok) {
        std::fflush(stdout);
        std::exit(result.exitStatus);
    }
}
