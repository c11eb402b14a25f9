#include "UtilsSrc/calc.h"

#include <algorithm>
#include <cmath>

#include "platform/crt_rand.h"

namespace Vastrel {
namespace Utils {
namespace {

// The double nearest 1/32767 rather than 1/32768, so that both ends of a
// range can be drawn.
constexpr double kRandScale = 3.051850947599719e-5;
constexpr float kRadiansPerDegree = 0.017453292f;
// Wrapping steps one period at a time up to this many steps; beyond it the
// remainder is computed directly, since a far value might never move.
constexpr int kMaxWrapSteps = 4096;

double NextUnitRandom() { return crt::rand() * kRandScale; }

// The components of a value, in draw order: a float is its own component.
template <class T>
constexpr int ComponentCount() { return static_cast<int>(sizeof(T) / sizeof(float)); }

inline float* ComponentsOf(float& value) { return &value; }
inline const float* ComponentsOf(const float& value) { return &value; }
template <class V>
float* ComponentsOf(V& value) { return value; }
template <class V>
const float* ComponentsOf(const V& value) { return value; }

// Applies op to every component of the inputs, in the order x, y, z, w.
template <class T, class Op>
T PerComponent(const T& a, const T& b, Op op) {
    T out = a;
    for (int i = 0; i < ComponentCount<T>(); ++i) {
        ComponentsOf(out)[i] = op(ComponentsOf(a)[i], ComponentsOf(b)[i]);
    }
    return out;
}

bool SubtractWhileAbove(float& value, float high, float period) {
    for (int step = 0; value > high; ++step) {
        if (step == kMaxWrapSteps) return false;
        value -= period;
    }
    return true;
}

bool AddWhileBelow(float& value, float low, float period) {
    for (int step = 0; value < low; ++step) {
        if (step == kMaxWrapSteps) return false;
        value += period;
    }
    return true;
}

// Where stepping would end: above the range a whole number of periods lands
// on high, below it on low.
float WrapByRemainder(float value, float low, float high, float period) {
    double wrapped;
    if (value > high) {
        const double rest = std::fmod(static_cast<double>(value) - low, period);
        wrapped = rest == 0.0 ? high : low + rest;
    } else {
        const double rest = std::fmod(static_cast<double>(high) - value, period);
        wrapped = rest == 0.0 ? low : high - rest;
    }
    return std::clamp(static_cast<float>(wrapped), low, high);
}

}  // namespace

template <class T>
T Calc<T>::GetRandomValue(const T& min, const T& max) {
    return PerComponent(min, max, [](float low, float high) {
        return static_cast<float>(low + NextUnitRandom() * (high - low));
    });
}

template <class T>
T Calc<T>::GetRandomValue(const T& max) {
    return PerComponent(max, max, [](float high, float) {
        return static_cast<float>(NextUnitRandom() * high);
    });
}

template <>
unsigned int Calc<unsigned int>::GetRandomValue(const unsigned int& max) {
    return static_cast<unsigned int>(NextUnitRandom() * max);
}

template <class T>
T Calc<T>::LinearInterpolation(const T& a, const T& b, float t) {
    return PerComponent(a, b, [t](float from, float to) { return from + (to - from) * t; });
}

template <class T>
float Calc<T>::DegreeToRadian(float degrees) {
    return degrees * kRadiansPerDegree;
}

template <class T>
void Calc<T>::retmid(float& value, float a, float b) {
    const float width = b - a;
    if (width == 0.0f) {
        value = a;
        return;
    }
    const float low = std::min(a, b);
    const float high = std::max(a, b);
    const float period = std::fabs(width);
    if (!std::isfinite(value)) {
        value = low;
        return;
    }
    float stepped = value;
    if (SubtractWhileAbove(stepped, high, period) && AddWhileBelow(stepped, low, period)) {
        value = stepped;
        return;
    }
    value = WrapByRemainder(value, low, high, period);
}

template class Calc<float>;
template class Calc<D3DXVECTOR2>;
template class Calc<D3DXVECTOR3>;
template class Calc<D3DXVECTOR4>;

}  // namespace Utils
}  // namespace Vastrel
