// Random values, interpolation, angle conversion and range wrapping for the
// particle code. Every random draw comes from the shared C runtime generator
// (crt::rand), so a fixed seed reproduces the same particles.
#pragma once

#include "platform/d3dxmath.h"
#include "UtilsSrc/pyrelune_api.h"

namespace Vastrel {
namespace Utils {

// Instantiated for float, unsigned int, D3DXVECTOR2, D3DXVECTOR3 and
// D3DXVECTOR4. Vector operations work component by component and draw their
// random numbers in the order x, y, z, w.
template <class T>
class PYRELUNE_API Calc {
public:
    // min + r * (max - min), r = rand() / 32767; float and vectors.
    static T GetRandomValue(const T& min, const T& max);
    // r * max; the unsigned int form truncates, so max only when rand() is 32767.
    static T GetRandomValue(const T& max);
    // a + (b - a) * t, not clamped; float and vectors.
    static T LinearInterpolation(const T& a, const T& b, float t);
    // degrees * 0.017453292.
    static float DegreeToRadian(float degrees);
    // Wraps value into the range between a and b; a zero-width range sets a.
    // Values exactly on the bounds stay; non-finite values become the low end.
    static void retmid(float& value, float a, float b);
};

// Exported explicitly: the vector types carry no visibility of their own, and
// an instantiation would otherwise take the narrowest of its arguments'.
extern template class PYRELUNE_API Calc<float>;
extern template class PYRELUNE_API Calc<D3DXVECTOR2>;
extern template class PYRELUNE_API Calc<D3DXVECTOR3>;
extern template class PYRELUNE_API Calc<D3DXVECTOR4>;

// unsigned int offers only the maximum form.
template <>
PYRELUNE_API unsigned int Calc<unsigned int>::GetRandomValue(const unsigned int& max);

}  // namespace Utils
}  // namespace Vastrel
