// What the programs must carry, shared by the file checks and the checks of
// the built executables.
#pragma once

#include <array>

#include "resource_ids.h"

namespace tintora {

struct ExpectedFace {
  unsigned short resourceId;
  const char* fileName;  // in resources/fonts/
  const char* sha256;    // of the published, unmodified file
};

constexpr std::array<ExpectedFace, 2> kExpectedFaces = {{
    {kBoldFaceResourceId, "EncodeSansCondensed_700Bold.ttf",
     "8d049622c7d2791d777b38166720a6adf95e0d411cb043e77d96652c83be9f77"},
    {kBlackFaceResourceId, "EncodeSansCondensed_900Black.ttf",
     "d5651998e1c05218e80cf6dad589a68fa3b801d76c97b338b9d1aaee9b406469"},
}};

// The icon's images, in the order they are stored.
constexpr std::array<int, 9> kIconSizes = {16, 24, 32, 40, 48, 64, 96, 128, 256};

}  // namespace tintora
