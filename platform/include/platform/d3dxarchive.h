// Archive records of the D3DX math types: each value is one raw block of its
// floats in member order (x, y, z, w; a matrix's _11 ... _44 row by row), so
// every class stores vectors and matrices the same way.
#pragma once

#include "platform/carchive.h"
#include "platform/d3dxmath.h"

namespace archive_detail {

template <size_t FloatCount, typename T>
CArchive& WriteFloatBlock(CArchive& ar, const T& value) {
    static_assert(sizeof(T) == FloatCount * sizeof(FLOAT), "a float block has no padding");
    ar.Write(&value, sizeof(T));
    return ar;
}

template <size_t FloatCount, typename T>
CArchive& ReadFloatBlock(CArchive& ar, T& value) {
    static_assert(sizeof(T) == FloatCount * sizeof(FLOAT), "a float block has no padding");
    ar.EnsureRead(&value, sizeof(T));
    return ar;
}

}  // namespace archive_detail

inline CArchive& operator<<(CArchive& ar, const D3DXVECTOR2& v) { return archive_detail::WriteFloatBlock<2>(ar, v); }
inline CArchive& operator>>(CArchive& ar, D3DXVECTOR2& v) { return archive_detail::ReadFloatBlock<2>(ar, v); }

inline CArchive& operator<<(CArchive& ar, const D3DXVECTOR3& v) { return archive_detail::WriteFloatBlock<3>(ar, v); }
inline CArchive& operator>>(CArchive& ar, D3DXVECTOR3& v) { return archive_detail::ReadFloatBlock<3>(ar, v); }

inline CArchive& operator<<(CArchive& ar, const D3DXVECTOR4& v) { return archive_detail::WriteFloatBlock<4>(ar, v); }
inline CArchive& operator>>(CArchive& ar, D3DXVECTOR4& v) { return archive_detail::ReadFloatBlock<4>(ar, v); }

// D3DXMATRIXA16 goes through these too: its alignment is not part of the record.
inline CArchive& operator<<(CArchive& ar, const D3DXMATRIX& m) { return archive_detail::WriteFloatBlock<16>(ar, m); }
inline CArchive& operator>>(CArchive& ar, D3DXMATRIX& m) { return archive_detail::ReadFloatBlock<16>(ar, m); }

inline CArchive& operator<<(CArchive& ar, const D3DXQUATERNION& q) { return archive_detail::WriteFloatBlock<4>(ar, q); }
inline CArchive& operator>>(CArchive& ar, D3DXQUATERNION& q) { return archive_detail::ReadFloatBlock<4>(ar, q); }
