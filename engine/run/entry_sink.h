#pragma once

// Where a run's entries go instead of the output list: a run given a sink
// hands it the entries it would write (the same entries, batch by batch, in
// the same order; in append mode "NAME: S1,S2"), and at the end of a run
// that read its files whole (or up to the line limit or an abort) lets the
// sink write what it made of them to the output file. The count of domains
// per name server (count/count_run.h) is one.

#include <cstddef>

#include "extraction/batch.h"

namespace plexor
{
    class OutputWriter;

    class EntrySink
    {
    public:
        virtual ~EntrySink() = default;

        // The first `count` entries of the batch, each without its line end.
        virtual void TakeBatch(const Batch& batch, std::size_t count) = 0;
        // Entry i of the batch alone (a comparison picks its entries one by
        // one).
        virtual void TakeEntry(const Batch& batch, std::size_t i) = 0;
        // After the last entry: the result, written to the output (which the
        // run closes afterwards and checks for failures). False when the
        // result could not be made for want of memory: the run then fails.
        virtual bool WriteResult(OutputWriter& output) = 0;
    };
}
