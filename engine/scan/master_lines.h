#pragma once

// The searches the reading thread makes over whole chunks of a master file,
// ahead of the worker, so that the worker reads fewer lines one by one:
// whether a chunk is plain text (the reader then skips its byte-by-byte
// checks), and which of its lines are simple NS records (the worker then
// skips the lines between the first NS line of each owner). Each is made by
// the run's kernel (scan/kernel.h); every kernel gives the same answers,
// and the answers agree with the master-file reader's rules
// (layouts/master/master_file_reader.h), whose tests hold them to it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scan/line_index.h"

namespace plexor
{
    // The NS lines of a chunk of zone-file lines that are all simple records:
    // found on the reading thread, ahead of the worker, so that the worker
    // need not read those lines at all. A simple line is
    //   <owner> <ttl> <class> <type> [<data>]
    // with an owner in the first column that does not begin with a dot, a
    // TTL of digits, the class IN (any case) and a type other than SOA; an
    // NS line's owner is fully qualified and in lower case, and its server
    // is neither the root nor `@`. On lines of plain master-file text
    // (IsPlainMasterText) such a line is a whole record whatever the reader
    // remembers, apart from a parenthesis left open before it, and changes
    // nothing the reader remembers but the previous owner.
    struct SimpleNsLines
    {
        // The first NS line of each run of NS lines of one owner, other lines
        // between them not counting.
        struct Entry
        {
            std::uint32_t line;        // index among the chunk's line ends
            std::uint32_t ownerOffset; // the owner's position in the chunk's buffer
            std::uint32_t ownerLength; // without its final dot
        };
        std::vector<Entry> entries;
        // With `withServers`, every NS line from line 1 on, in order, with
        // the server field as written (the first field after the type): the
        // owner of each is that of the last entry at or before its line.
        struct Server
        {
            std::uint32_t line;   // index among the chunk's line ends
            std::uint32_t offset; // the field's position in the chunk's buffer
            std::uint32_t length;
        };
        std::vector<Server> servers;
        // Whether the servers are looked for too (set by Find).
        bool withServers = false;
        // Every line from line 1 on is simple (line 0 may have begun in the
        // chunk before and is left to the reader). False when not looked for
        // or not so.
        bool found = false;
        // The size of the owner of the chunk's last line, as written.
        std::uint32_t lastOwnerSize = 0;

        void Clear()
        {
            entries.clear();
            servers.clear();
            withServers = false;
            found = false;
            lastOwnerSize = 0;
        }
        // Finds the entries of the lines from line 1 on of `data` (plain
        // master-file text), or leaves `found` false when one of them is not
        // simple; with `withServers` the servers as well. Every line start
        // needs kLineProbeBytes readable bytes after it, and so does every
        // position in a line.
        void Find(const char* data, const LineEndIndex& lineEnds, bool withServers = false);
    };

    // Whether the bytes hold none of ( ) " \ ; and no two dots in a row,
    // counting a dot just before them when `dotBefore`: lines of such text
    // need none of the reader's byte-by-byte checks. 32 bytes must be
    // readable past the end.
    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore);

    // Appends the positions of the LFs in buffer[from, to) to `lineEnds`, as
    // LineEndIndex::Add does (to at most kMaxPosition), and returns whether
    // those bytes are plain master-file text, as IsPlainMasterText; in one
    // pass where the processor allows. 32 bytes must be readable past `to`.
    bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                              LineEndIndex& lineEnds);
}
