#pragma once

// Reads a standard (RFC 1035) master file one physical line at a time and
// tells its caller about the NS records in it: the layout of ICANN's CZDS
// files, of zone transfers as `dig AXFR` writes them, and of hand-written and
// server-dumped zones. Everything it remembers from line to line (the origin,
// the zone's apex, the previous owner, an open parenthesis) belongs to one
// run: the worker creates a reader for each run.
//
// The rules, as the reader applies them:
// - fields are separated by runs of blanks and tabs (a CR inside a line counts
//   as a blank); `;` outside a quoted string starts a comment; a quoted string
//   may hold blanks, `;` and parentheses, and ends at its line's end at the
//   latest; `\X` and `\DDD` escapes pass through unchanged and take away the
//   special meaning of the escaped byte;
// - `(` ... `)` joins physical lines into one record;
// - the owner stands in the first column; a record line that begins with a
//   blank or tab has the previous record's owner; `@` is the origin; a name
//   without a final dot is relative to the origin;
// - `$ORIGIN` (relative to the previous origin when not absolute) and `$TTL`
//   are understood; `$INCLUDE` and other `$` lines are skipped;
// - before any `$ORIGIN` the origin is the owner of the first SOA record once
//   it has been read, else the root;
// - an optional TTL (digits, or digits with units such as 1h30m) and an
//   optional class (IN, CH, HS, CS, CLASSnn) in either order, any case, come
//   before the type, which is matched without regard to case;
// - the zone's apex is the owner of the first SOA record; before any SOA, the
//   first $ORIGIN; with neither there is no apex.
// A record that cannot be read (no type, an NS record without a server, a
// name with an empty label, a stray `)`, a quoted string open at its line's
// end, a parenthesis open at the end of the file) yields nothing and is
// counted in RunState::unreadableRecords; the reader goes on at the next
// record.
//
// Names are handed out in one form: ASCII letters in lower case, fully
// qualified, without the final dot; the root is the empty name. An escaped
// blank, tab or CR is written as its \DDD form, so that a name never holds
// white space.
//
// The rules are applied in master_file_reader.cpp, byte by byte; the
// shortcuts that reach the same outcome for common lines in fewer steps
// (plain lines split at their separator bits, NS lines written like the one
// before, records of other types passed over) are in
// master_line_shortcuts.cpp, and the searches over whole chunks in
// scan/master_lines.h (made ahead of the reader through master_chunk_scan.h).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "scan/line_index.h"
#include "scan/master_lines.h"
#include "scan/line_masks.h"

namespace plexor
{
    // An NS record as the reader hands it out; the views are valid until the
    // next call of the reader, and while the bytes of the line read last
    // stay as they are (the owner may be taken from the line itself).
    struct MasterNsRecord
    {
        std::string_view owner;
        std::string_view server;
        bool ownerIsApex = false;
        // The owner's bytes are those of the line: 64 bytes are readable
        // from its start.
        bool ownerInLine = false;
    };

    class MasterFileReader final
    {
    public:
        MasterFileReader() = default;

        // Reads the next physical line (without its line end). True when the
        // line completes an NS record, which Record() then holds. Every
        // position of the line must be followed by kLineProbeBytes readable
        // bytes, as with the lines of the zone line reader.
        // `plain`: the line is plain master-file text (IsPlainMasterText).
        bool ReadLine(std::string_view line, bool plain = false);
        const MasterNsRecord& Record() const { return m_record; }

        // The zone file has ended: a record still open is unreadable. Safe to
        // call more than once.
        void EndOfFile();

        // Whether the line is one more NS record of the owner of the NS record
        // line read last, with the same TTL and class written the same way,
        // on one line of its own, with a server that is not the root: its
        // bytes up to the server equal that line's, and the rest holds no
        // parenthesis, quote, escape or comment and no empty label. Such a
        // line changes nothing the reader remembers, so a caller that needs
        // only the owner may pass over it without ReadLine. Same probe rule
        // as ReadLine.
        // `plain`: the line is plain master-file text (IsPlainMasterText).
        bool RepeatsLastNsRecord(std::string_view line, bool plain = false) const
        {
            const std::size_t prefix = m_repeatLength;
            if (prefix == 0 || line.size() <= prefix || !SameAsRepeatPrefix(line.data(), prefix))
                return false;
            if (plain)
            {
                // No special byte and no empty label anywhere in the line.
                const char first = line[prefix];
                return first != ' ' && first != '\t' && first != '\r' && first != '.';
            }
            return RestIsPlainServer(line.data() + prefix, line.size() - prefix);
        }

        // No parenthesis is open: the next line begins a record.
        bool BetweenRecords() const { return !m_inRecord; }
        // Whether `owner` (in the reader's form) is the zone's apex.
        bool IsApex(std::string_view owner) const { return m_hasApex && owner == m_apex; }
        // The caller has taken simple lines (SimpleNsLines) without reading
        // them, the last of which is `line`, whose owner is written in its
        // first `ownerSize` bytes: they leave only their owner behind.
        void PassedSimpleLines(const char* line, std::size_t ownerSize);
        // The server of a simple NS line taken that way (SimpleNsLines::
        // servers), in the reader's form; valid until the next call.
        std::string_view SimpleServer(std::string_view field);

        // Off: every line goes through the reading rules byte by byte
        // (ReadEscapedLine), none through the shortcuts; for the tests and
        // the fuzz target that hold the shortcuts to the rules. On by
        // default.
        void UseShortcuts(bool on) { m_shortcuts = on; }

        // Whether NS records need their servers: when not, Record().server
        // is left empty (the records are still checked). On by default.
        void WantServers(bool wanted) { m_serversWanted = wanted; }

    private:
        enum class Type : std::uint8_t
        {
            None,
            Ns,
            Soa,
            Other
        };
        enum class Directive : std::uint8_t
        {
            None,
            Origin,
            Ttl,
            Skipped
        };

        static bool RestIsPlainServer(const char* rest, std::size_t size);
        // The first `prefix` bytes of the line equal those of the last NS
        // record line.
        bool SameAsRepeatPrefix(const char* line, std::size_t prefix) const
        {
            if (prefix <= sizeof m_repeatBytes)
            {
                // In one 64-byte compare; a line's first 64 bytes are
                // readable.
                static_assert(sizeof m_repeatBytes == 64 && kLineProbeBytes >= 64);
                const std::uint64_t wanted = prefix == 64 ? ~std::uint64_t {0} : (std::uint64_t {1} << prefix) - 1;
                return (scan::LineMasks::EqualMask64(line, m_repeatBytes) & wanted) == wanted;
            }
            return scan::BytesEqual(line, m_repeatLong.data(), prefix);
        }
        // A line that begins like the last NS record line read in full
        // but with another owner: 1 for the NS record it is, -1 when it
        // does not have that form.
        // When a shaped line's owner is not followed by that shape, or
        // there is no shape yet, a plain line is tried as a record of
        // another type: -1 when it is not one.
        int ReadShapedLine(std::string_view line, bool plain);
        // A plain line whose owner (in the first column, ending at
        // `ownerEnd`) is followed by a TTL of digits, the class IN and a
        // type other than NS and SOA: a complete record that adds nothing.
        // Its owner is kept unresolved. 0 for such a line, -1 otherwise.
        int PassOtherRecord(const char* line, std::size_t size, std::size_t ownerEnd);
        // Resolves a kept owner into m_owner, before a line that may use it.
        void SettleOwner();
        bool BeginLine(std::string_view line);
        bool EndLine();

        enum class Stage : std::uint8_t
        {
            Owner,      // the next field is the owner or a directive
            Head,       // TTL, class or type
            Server,     // the first field of an NS record's data
            Argument,   // a directive's argument
            Rest        // nothing more is needed of the record's fields
        };

        void BeginRecord(bool ownerInFirstColumn);
        // The fields of a line without special bytes, from the separator
        // bits of 64 bytes at a time (master_line_shortcuts.cpp); the same
        // fields as ReadEscapedLine finds.
        void ReadPlainLine(std::string_view line);
        void ReadEscapedLine(std::string_view line);
        // `plain`: the field comes from a line without special bytes.
        void Field(std::string_view field, bool quoted, bool plain);
        bool EndRecord();
        void CountUnreadable();

        // The origin, apex and previous owner.
        std::string m_origin;
        bool m_originFromDirective = false;
        bool m_hasApex = false;
        bool m_apexFromSoa = false;
        std::string m_apex;
        std::string m_owner; // the owner of the record being read, or of the last one
        bool m_ownerValid = false;

        // The record being read.
        bool m_inRecord = false;   // a record has begun and not ended
        int m_depth = 0;           // parentheses open
        bool m_bad = false;        // it cannot be read
        bool m_anything = false;   // it has a field or a parenthesis
        Stage m_stage = Stage::Owner;
        bool m_ttlSeen = false;
        bool m_classSeen = false;
        Type m_type = Type::None;
        Directive m_directive = Directive::None;
        bool m_directiveArgument = false;
        bool m_directiveBad = false;
        bool m_haveServer = false;
        bool m_serverIsRoot = false;
        bool m_serversWanted = true;
        bool m_shortcuts = true;
        std::string m_server;
        std::string m_scratch;

        // How many bytes of the last NS record line come before its server,
        // while that line stood alone and its server was not the root (see
        // RepeatsLastNsRecord); 0 otherwise. The bytes are in m_repeatBytes
        // and, when more than 64, in m_repeatLong.
        std::size_t m_repeatLength = 0;
        std::string m_repeatLong; // the bytes, when more than 64
        void SetRepeatPrefix(const char* line, std::size_t length)
        {
            m_repeatLength = length;
            // A line's first kLineProbeBytes bytes are readable.
            std::memcpy(m_repeatBytes, line, sizeof m_repeatBytes);
            if (length > sizeof m_repeatBytes)
                m_repeatLong.assign(line, length);
        }
        alignas(16) char m_repeatBytes[64] = {}; // that line's first 64 bytes
        // That line's bytes between its owner (in the first column) and its
        // server, when at most 32.
        char m_shapeBytes[32] = {};
        std::size_t m_shapeLength = 0;
        // The owner of the line read last, as written, when that line was
        // passed over by PassOtherRecord or handed out its owner from the
        // line itself (ReadShapedLine): m_pendingOwnerLength bytes, 0 for
        // none. m_owner is stale while it is kept.
        alignas(16) char m_pendingOwner[64] = {};
        std::size_t m_pendingOwnerLength = 0;
        // Copies the 64 bytes from `line` to m_pendingOwner.
        void KeepOwner(const char* line) { scan::LineMasks::Copy64(line, m_pendingOwner); }
        std::size_t m_ownerEnd = 0; // where the owner of the line being read ends; 0: none
        bool m_plainLine = false;           // the line being read has no special bytes
        std::size_t m_serverOffset = 0;     // where its server field starts

        std::string_view m_line; // the line being read
        MasterNsRecord m_record;
    };

    // Writes the name of `field` to `out` in the reader's form (lower case,
    // fully qualified against `origin`, no final dot, the root empty). False
    // when the field is not a name: it has an empty label or ends in a lone
    // backslash.
    bool ResolveMasterName(std::string_view field, std::string_view origin, std::string& out);
}
