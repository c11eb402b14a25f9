#include "Corvantis/cdevicerestorable.h"

CDeviceRestorable::~CDeviceRestorable() = default;
