// Small single-precision value types shared by the whole program, and the few operations on
// them that the trackball, the picking and the breeding need. Plain values: nothing allocates.
#pragma once

#include <array>

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    friend bool operator==(const Vec3&, const Vec3&) = default;
};

struct Vec4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    friend bool operator==(const Vec4&, const Vec4&) = default;
};

// A rotation; w is the scalar part. Not kept at unit length: quatToMat3 copes with any length.
struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    friend bool operator==(const Quaternion&, const Quaternion&) = default;
};

// Column-major 3 x 3 matrix: element (row r, column c) at index 3c + r.
struct Mat3 {
    std::array<float, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};

    float& operator()(int row, int col) { return m[3 * col + row]; }
    float operator()(int row, int col) const { return m[3 * col + row]; }
    static Mat3 identity() { return Mat3{}; }

    friend bool operator==(const Mat3&, const Mat3&) = default;
};

// Column-major 4 x 4 matrix in OpenGL order (element (r, c) at index 4c + r), so that
// m.data() can be handed to glMultMatrixf unchanged.
struct Mat4 {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    float& operator()(int row, int col) { return m[4 * col + row]; }
    float operator()(int row, int col) const { return m[4 * col + row]; }
    const float* data() const { return m.data(); }
    static Mat4 identity() { return Mat4{}; }

    friend bool operator==(const Mat4&, const Mat4&) = default;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(const Vec3& a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(float s, const Vec3& a) {
    return {s * a.x, s * a.y, s * a.z};
}
inline Vec3& operator+=(Vec3& a, const Vec3& b) {
    a = a + b;
    return a;
}

inline float dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(const Vec3& a);
// Each component times 1 / length. A zero vector gives non-finite components: callers that
// can meet one use normalizedOrZero.
Vec3 normalize(const Vec3& a);
// The unit vector along a, or the zero vector when a has zero (or non-finite) length.
Vec3 normalizedOrZero(const Vec3& a);

inline Vec4 operator+(const Vec4& a, const Vec4& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
inline Vec4 operator*(const Vec4& a, float s) {
    return {a.x * s, a.y * s, a.z * s, a.w * s};
}

// Rotation matrix of q scaled by 2 / |q|^2, so any non-zero length gives a pure rotation and the
// zero quaternion gives the identity.
Mat3 quatToMat3(const Quaternion& q);

// a . b, built in a temporary so either argument may alias the destination.
Mat3 mat3Multiply(const Mat3& a, const Mat3& b);

// Replaces t's upper-left 3 x 3 block by r times the block's root-mean-square column length
// (the uniform scale it held); the fourth row and column stay.
void setRotationKeepScale(Mat4& t, const Mat3& r);

// transpose(m) . v; for a rotation this applies the inverse rotation.
Vec4 transposeTransform(const Mat4& m, const Vec4& v);

// Whether the line through origin along direction (unit length) meets the sphere. On a hit,
// writes the nearer crossing in front of origin, or else the farther one (which may lie
// behind origin). A tangent line counts as a hit.
bool rayHitsSphere(const Vec3& origin, const Vec3& direction, const Vec3& centre,
                   float squaredRadius, Vec3& hit);
