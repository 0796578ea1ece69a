#pragma once

// The four extractors. Each one is called again and again on the same open
// zone file with a batch and a limit; it reads lines until it has added
// `limit` new entries, the file ends or an abort is requested, and returns the
// number of new entries it added. A return of 0 ends the run.
//
// In append mode the domain extractors may find the batch already holding one
// entry: the last entry of the previous call, which the worker held back so
// that further name-server lines of that domain can still be merged into it.

#include <cstdint>

#include "extraction/batch.h"

namespace plexor
{
    class ZoneLineReader;
    struct MasterRunState;

    using Extractor = std::uint32_t (*)(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit);
    // The master-file layout's extractors also take what the run remembers of
    // the file from call to call (master_extractors.h), which the worker
    // creates for each run.
    using MasterExtractor = std::uint32_t (*)(MasterRunState& run, ZoneLineReader& zoneFile, Batch& batch,
                                              std::uint32_t limit);

    // .COM/.NET/.EDU layout: delegated domain names, optionally with their
    // name servers.
    std::uint32_t ExtractGtldDomains(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit);
    // .COM/.NET/.EDU layout: the host names of the address lines.
    std::uint32_t ExtractGtldNameServers(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit);
    // .SE layout: domain names of the name-server records.
    std::uint32_t ExtractSeDomains(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit);
    // .SE layout: host names of the address records.
    std::uint32_t ExtractSeNameServers(ZoneLineReader& zoneFile, Batch& batch, std::uint32_t limit);

    // Standard master file: the owners of the delegations' NS records,
    // optionally with their name servers.
    std::uint32_t ExtractMasterDomains(MasterRunState& run, ZoneLineReader& zoneFile, Batch& batch,
                                       std::uint32_t limit);
    // Standard master file: each distinct server host of the delegations,
    // once.
    std::uint32_t ExtractMasterNameServers(MasterRunState& run, ZoneLineReader& zoneFile, Batch& batch,
                                           std::uint32_t limit);

    // The current run's origin suffix of the gTLD domain extractor (".COM"),
    // kept across the runs of one EngineRun; exposed for tests.
    const std::string& GtldOriginSuffix();
    void SetGtldOriginSuffix(std::string suffix);
}
