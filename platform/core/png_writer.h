// A small PNG encoder for the harness's frame dumps and the tools.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kelvane {

// 8-bit RGB PNG of 0x00RRGGBB pixels; empty on failure.
std::string EncodePng(const FrameView& frame);
bool WritePng(const std::string& path, const FrameView& frame);

}  // namespace kelvane
