// The device-specific half of platform/swdevice.h, and the effect framework's
// pass binding: both find the software device behind an IDirect3DDevice9.
#include "effectpassbinding.h"
#include "swdevice_device.h"

namespace {

swdevice::detail::SoftwareDevice* AsSoftwareDevice(IDirect3DDevice9* device) {
    return dynamic_cast<swdevice::detail::SoftwareDevice*>(device);
}

}  // namespace

bool swdevice::SimulateDeviceLoss(IDirect3DDevice9* device, UINT lostReports) {
    auto* software = AsSoftwareDevice(device);
    if (software) software->SimulateLoss(lostReports);
    return software != nullptr;
}

std::vector<swdevice::DrawRecord> swdevice::DrawLog(IDirect3DDevice9* device) {
    auto* software = AsSoftwareDevice(device);
    return software ? software->Log().Copy() : std::vector<DrawRecord>{};
}

void swdevice::ClearDrawLog(IDirect3DDevice9* device) {
    if (auto* software = AsSoftwareDevice(device)) software->Log().Clear();
}

void BindEffectPass(IDirect3DDevice9* device, const IEffectPassBinding* pass) {
    if (auto* software = AsSoftwareDevice(device)) software->BindPass(pass);
}
