#include "swdevice_drawcall.h"

#include "swdevice_vertexformat.h"

namespace swdevice::detail {

namespace {

void RecordArguments(const DrawRequest& request, DrawRecord& record) {
    record.primitiveType = request.type;
    record.primitiveCount = request.primitiveCount;
    record.indexed = request.indexed;
    record.startVertex = request.startVertex;
    record.baseVertexIndex = request.baseVertexIndex;
    record.minVertexIndex = request.minVertexIndex;
    record.numVertices = request.numVertices;
    record.startIndex = request.startIndex;
}

void RecordState(const DeviceState& state, DrawRecord& record) {
    record.states = state.States();
    record.world = state.Transform(D3DTS_WORLD);
    record.view = state.Transform(D3DTS_VIEW);
    record.projection = state.Transform(D3DTS_PROJECTION);
    record.viewport = state.Viewport();
}

void AttachStream(const DrawRequest& request, const DeviceBindings& bindings, DrawCall& call) {
    const StreamSource& stream = bindings.Stream(0);
    if (request.userVertices) {
        call.vertices = static_cast<const BYTE*>(request.userVertices);
        call.vertexStride = call.record.streamStride = request.userStride;
        return;
    }
    call.vertices = stream.buffer.Get()->Data() + stream.offset;
    call.vertexStride = stream.stride;
    call.record.streamBuffer = stream.buffer.Get();
    call.record.streamOffset = stream.offset;
    call.record.streamStride = stream.stride;
}

void AttachIndices(const DrawRequest& request, const DeviceBindings& bindings, DrawCall& call) {
    IndexBuffer* indices = bindings.Indices();
    if (!request.indexed) return;
    call.indexSize = IndexSize(indices->Description().Format);
    call.indices = indices->Data() + size_t(request.startIndex) * call.indexSize;
    call.record.indexBuffer = indices;
    call.record.indexFormat = indices->Description().Format;
}

void AttachTargets(const DeviceBindings& bindings, DrawCall& call) {
    call.renderTarget = bindings.RenderTarget();
    call.depthStencil = bindings.DepthStencil();
    call.record.renderTarget = call.renderTarget;
    for (UINT stage = 0; stage < kSamplers; ++stage) call.textures[stage] = bindings.BoundTexture(stage);
    for (UINT stage = 0; stage < kLoggedTextures; ++stage) call.record.textures[stage] = call.textures[stage];
}

void AttachPass(const IEffectPassBinding* pass, DrawCall& call) {
    call.pass = pass;
    if (!pass) return;
    call.record.technique = pass->TechniqueName();
    call.record.pass = int(pass->PassIndex());
}

}  // namespace

DrawCall AssembleDrawCall(const DrawRequest& request, const DeviceState& state, const DeviceBindings& bindings,
                          const IEffectPassBinding* pass) {
    DrawCall call;
    RecordArguments(request, call.record);
    RecordState(state, call.record);
    call.material = state.Material();
    call.record.fvf = bindings.FVF();
    call.vertexSize = FvfVertexSize(bindings.FVF());
    AttachStream(request, bindings, call);
    AttachIndices(request, bindings, call);
    AttachTargets(bindings, call);
    AttachPass(pass, call);
    return call;
}

}  // namespace swdevice::detail
