#include "swdevice_drawvalidation.h"

#include <algorithm>
#include <cstring>

#include "swdevice_vertexformat.h"

namespace swdevice::detail {

namespace {

// True when vertices [first, first + count) of the stream lie inside the buffer:
// the last one must have all vertexSize bytes in it.
bool VerticesFit(const StreamSource& stream, UINT vertexSize, int64_t first, uint64_t count) {
    if (first < 0 || count == 0) return false;
    const uint64_t lastByte = stream.offset + (uint64_t(first) + count - 1) * stream.stride + vertexSize;
    return lastByte <= stream.buffer.Get()->Size();
}

UINT ReadIndex(const BYTE* at, UINT indexSize) {
    if (indexSize == 2) {
        WORD index;
        std::memcpy(&index, at, 2);
        return index;
    }
    DWORD index;
    std::memcpy(&index, at, 4);
    return index;
}

// Reads the indices the draw will use and checks the extremes against stream 0.
const char* FindIndexProblem(const DrawRequest& request, const DeviceBindings& bindings, UINT vertexSize) {
    const IndexBuffer* indices = bindings.Indices();
    if (!indices) return "no index buffer is set";
    if (request.numVertices == 0) return "NumVertices is 0";
    const UINT indexSize = IndexSize(indices->Description().Format);
    const uint64_t count = VerticesForPrimitives(request.type, request.primitiveCount);
    if (request.startIndex + count > indices->Size() / indexSize) return "the index range passes the index buffer's end";
    UINT lowest = 0xFFFFFFFF;
    UINT highest = 0;
    for (uint64_t i = 0; i < count; ++i) {
        const UINT index = ReadIndex(indices->Data() + (request.startIndex + i) * indexSize, indexSize);
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    const int64_t base = request.baseVertexIndex;
    if (!VerticesFit(bindings.Stream(0), vertexSize, base + lowest, uint64_t(highest) - lowest + 1)) {
        return "an index points outside the vertex buffer";
    }
    return nullptr;
}

const char* FindStreamProblem(const DrawRequest& request, const DeviceBindings& bindings, UINT vertexSize) {
    if (request.userVertices) return request.userStride == 0 ? "the vertex stride is 0" : nullptr;
    const StreamSource& stream = bindings.Stream(0);
    if (!stream.buffer.Get()) return "no vertex buffer is set on stream 0";
    if (stream.stride == 0) return "the stream 0 stride is 0";
    if (request.indexed) return FindIndexProblem(request, bindings, vertexSize);
    const uint64_t count = VerticesForPrimitives(request.type, request.primitiveCount);
    if (!VerticesFit(stream, vertexSize, request.startVertex, count)) return "the vertices pass the vertex buffer's end";
    return nullptr;
}

}  // namespace

const char* FindDrawProblem(const DrawRequest& request, const DeviceBindings& bindings, bool inScene) {
    if (!inScene) return "drawing outside BeginScene/EndScene";
    if (VerticesForPrimitives(request.type, 1) == 0) return "unknown primitive type";
    if (request.primitiveCount == 0 || request.primitiveCount > kMaxPrimitiveCount) return "bad primitive count";
    const UINT vertexSize = FvfVertexSize(bindings.FVF());
    if (vertexSize == 0) return "no valid FVF is set";
    return FindStreamProblem(request, bindings, vertexSize);
}

}  // namespace swdevice::detail
