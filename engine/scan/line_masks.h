#pragma once

// The byte masks of the per-line code (the master-file reader's shortcuts,
// the extractors): the best ones the build guarantees, fixed when it is
// compiled, so that they inline into the loops over lines. The chunk-level
// searches choose their kernel at run time instead (scan/kernel.h).

#include "scan/byte_scan.h"

#ifdef PLEXOR_HAVE_SSE2
#include "scan/sse2/masks.h"
namespace plexor::scan
{
    using LineMasks = sse2::Masks;
}
#else
#include "scan/reference/masks.h"
namespace plexor::scan
{
    using LineMasks = reference::Masks;
}
#endif
