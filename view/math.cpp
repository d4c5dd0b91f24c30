#include "view/math.h"

#include <cmath>

float length(const Vec3& a) {
    return std::sqrt(dot(a, a));
}

Vec3 normalize(const Vec3& a) {
    return a * (1.0f / length(a));
}

Vec3 normalizedOrZero(const Vec3& a) {
    const float len = length(a);
    if (!(len > 0.0f) || !std::isfinite(len)) return {};
    return a * (1.0f / len);
}

Mat3 quatToMat3(const Quaternion& q) {
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    const float s = (n > 0.0f) ? (2.0f / n) : 0.0f;

    const float xs = q.x * s, ys = q.y * s, zs = q.z * s;
    const float wx = q.w * xs, wy = q.w * ys, wz = q.w * zs;
    const float xx = q.x * xs, xy = q.x * ys, xz = q.x * zs;
    const float yy = q.y * ys, yz = q.y * zs, zz = q.z * zs;

    Mat3 r;
    r(0, 0) = 1.0f - (yy + zz);
    r(0, 1) = xy - wz;
    r(0, 2) = xz + wy;
    r(1, 0) = xy + wz;
    r(1, 1) = 1.0f - (xx + zz);
    r(1, 2) = yz - wx;
    r(2, 0) = xz - wy;
    r(2, 1) = yz + wx;
    r(2, 2) = 1.0f - (xx + yy);
    return r;
}

Mat3 mat3Multiply(const Mat3& a, const Mat3& b) {
    Mat3 r;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            r(row, col) = a(row, 0) * b(0, col) + a(row, 1) * b(1, col) + a(row, 2) * b(2, col);
        }
    }
    return r;
}

void setRotationKeepScale(Mat4& t, const Mat3& r) {
    float sum = 0.0f;
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row)
            sum += t(row, col) * t(row, col);
    }
    const float s = std::sqrt(sum / 3.0f);
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row)
            t(row, col) = r(row, col) * s;
    }
}

Vec4 transposeTransform(const Mat4& m, const Vec4& v) {
    float out[4];
    for (int i = 0; i < 4; ++i) {
        out[i] = v.x * m(0, i) + v.y * m(1, i) + v.z * m(2, i) + v.w * m(3, i);
    }
    return {out[0], out[1], out[2], out[3]};
}

bool rayHitsSphere(const Vec3& origin, const Vec3& direction, const Vec3& centre,
                   float squaredRadius, Vec3& hit) {
    const Vec3 e = origin - centre;
    const float b = 2.0f * dot(direction, e);
    const float q = dot(e, e) - squaredRadius;
    const float disc = b * b - 4.0f * q;
    if (disc < 0.0f) return false;

    const float root = std::sqrt(disc);
    float t = (-b - root) / 2.0f;
    if (!(t > 0.0f)) t = (root - b) / 2.0f;
    hit = origin + direction * t;
    return true;
}
