#include <gtest/gtest.h>

#include "renderstatestack.h"
#include "support_doubles.h"

namespace {

DWORD RenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state) {
    DWORD value = 0;
    device->GetRenderState(state, &value);
    return value;
}

}  // namespace

TEST(RenderStateStack, ResetRestoresOnlyWhatChanged) {
    CTestDevice device;
    IDirect3DDevice9* d = device.Get();
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    CRenderStateStack stack(d);
    stack.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);  // already so: not recorded
    stack.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    stack.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    EXPECT_EQ(DWORD(D3DBLEND_SRCALPHA), RenderState(d, D3DRS_SRCBLEND));
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);  // the host's own change survives the reset
    stack.Reset();
    EXPECT_EQ(DWORD(D3DBLEND_ONE), RenderState(d, D3DRS_SRCBLEND));
    EXPECT_EQ(DWORD(TRUE), RenderState(d, D3DRS_ZWRITEENABLE));
    EXPECT_EQ(DWORD(FALSE), RenderState(d, D3DRS_ALPHABLENDENABLE));
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    stack.Reset();  // the records are gone
    EXPECT_EQ(DWORD(D3DBLEND_ZERO), RenderState(d, D3DRS_SRCBLEND));
}

TEST(RenderStateStack, SetOrigStatesKeepsTheRecordsAndDestructionRestores) {
    CTestDevice device;
    IDirect3DDevice9* d = device.Get();
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    {
        CRenderStateStack stack(d);
        stack.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
        stack.SetOrigStates();
        EXPECT_EQ(DWORD(D3DFILL_SOLID), RenderState(d, D3DRS_FILLMODE));
        d->SetRenderState(D3DRS_FILLMODE, D3DFILL_POINT);
        stack.SetOrigStates();
        EXPECT_EQ(DWORD(D3DFILL_SOLID), RenderState(d, D3DRS_FILLMODE));
        d->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    }
    EXPECT_EQ(DWORD(D3DFILL_SOLID), RenderState(d, D3DRS_FILLMODE));
}

TEST(TextureStageStateStack, RestoresPerStage) {
    CTestDevice device;
    IDirect3DDevice9* d = device.Get();
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    CTextureStageStateStack stack(d);
    stack.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    stack.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    stack.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    stack.Reset();
    DWORD stage0 = 0, stage1 = 0;
    d->GetTextureStageState(0, D3DTSS_COLOROP, &stage0);
    d->GetTextureStageState(1, D3DTSS_COLOROP, &stage1);
    EXPECT_EQ(DWORD(D3DTOP_MODULATE), stage0);
    EXPECT_EQ(DWORD(D3DTOP_DISABLE), stage1);
}
