#include "view/arcball.h"

#include <cmath>

namespace {

// 1 / ((size - 1) * 0.5), the factor that maps pixel 0 .. size - 1 onto -1 .. 1. A size of one
// pixel or less would divide by zero; such an axis gets 0, which mapToSphere reads as "no
// extent".
float boundFactor(int size) {
    if (size <= 1) return 0.0f;
    return 1.0f / ((static_cast<float>(size) - 1.0f) * 0.5f);
}

}  // namespace

ArcBall::ArcBall(int width, int height)
    : adjustWidth(boundFactor(width)), adjustHeight(boundFactor(height)) {}

void ArcBall::setBounds(int width, int height) {
    adjustWidth = boundFactor(width);
    adjustHeight = boundFactor(height);
}

Vec3 ArcBall::mapToSphere(Point point) const {
    // Window y grows downwards, sphere y upwards. An axis without extent stays at its middle.
    const float x = (adjustWidth > 0.0f) ? point.x * adjustWidth - 1.0f : 0.0f;
    const float y = (adjustHeight > 0.0f) ? 1.0f - point.y * adjustHeight : 0.0f;

    const float lengthSquared = x * x + y * y;
    if (lengthSquared > 1.0f) {
        // Outside the ball: the nearest point of the rim.
        const float len = std::sqrt(lengthSquared);
        return {x / len, y / len, 0.0f};
    }
    return {x, y, std::sqrt(1.0f - lengthSquared)};
}

void ArcBall::click(Point point) {
    startVector = mapToSphere(point);
}

Quaternion ArcBall::drag(Point point) {
    endVector = mapToSphere(point);
    const Vec3 perp = cross(startVector, endVector);
    if (length(perp) > 0.00001f) {
        return {perp.x, perp.y, perp.z, dot(startVector, endVector)};
    }
    return {0.0f, 0.0f, 0.0f, 0.0f};
}

void ArcBall::update() {
    const Quaternion q = drag(mousePoint);
    thisRotation = quatToMat3(q);
    thisRotation = mat3Multiply(thisRotation, lastRotation);
    setRotationKeepScale(transform, thisRotation);
}
