#include "swdevice_rasterizer.h"

namespace swdevice::detail {

namespace {

class NullRasterizer final : public Rasterizer {
public:
    void Draw(const DrawCall&) override {}
};

}  // namespace

std::unique_ptr<Rasterizer> CreateRasterizer() { return std::make_unique<NullRasterizer>(); }

}  // namespace swdevice::detail
