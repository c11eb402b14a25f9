// Reads the picture files the hosts accept, PNG or DDS, told apart by their
// first bytes rather than by the file name.
#pragma once

#include <string>

#include "bgraimage.h"

// False, with image left empty, when the file is missing, larger than
// kMaxImageFileBytes, neither PNG nor DDS, malformed, or has a side above
// kMaxImageSide.
bool ReadImageFile(const std::string& path, BgraImage& image);
