#pragma once

// The buffers the zone line reader and its reading thread fill with a zone
// file's bytes. Making one or growing it leaves the new bytes as they are,
// unlike a std::vector<char>, which would zero them first: every byte is
// written before it is read, but for the probe bytes past the data, which
// the searches read and mask off, as they do with what a reused buffer
// holds from before. Zeroing a buffer that a short zone barely fills cost
// its pages' faults and a memset (a few per cent of a folder of small
// zones).

#include <memory>
#include <vector>

#include "scan/left_uninitialized.h"

namespace plexor
{
    using ByteBuffer = std::vector<char, LeftUninitialized<std::allocator<char>>>;
}
