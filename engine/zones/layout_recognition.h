#pragma once

// Tells a zone file's layout from its first lines, and its origin, for runs
// over many zones where each file's layout is not given (layout "auto").
//
// The rules never guess: each layout has a grammar, every line looked at
// must fit it, and a file whose lines fit none (or that shows no record) is
// refused with a reason.
//
// Lines looked at: the first kRecognitionLines lines of the decompressed
// data, within its first kRecognitionBytes bytes (a line cut short by that
// bound is left out), split by the zone line reader's rules (a line ends at
// LF; one CR before it is dropped).
//
// Refused at once:
//  - a file that cannot be read, or whose gzip data is damaged or ends
//    within the lines looked at;
//  - binary data: a byte below 0x20 other than tab, or 0x7F, in a line;
//  - no line that is a record of a layout (an empty file, only comments).
//
// The three grammars, each over every line looked at:
//  - gTLD (.COM/.NET/.EDU): empty lines; comments (";" first); "$ORIGIN "
//    and one upper-case name; "$TTL " and a TTL; records of exactly the form
//    OWNER, one blank, TYPE, one blank, DATA, with no tab anywhere: OWNER is
//    "@" or upper-case name bytes (A-Z 0-9 - _ .), TYPE is NS, A, AAAA or
//    DS, DATA is not empty and does not begin with a blank, and for NS is
//    one upper-case name. At least one NS record.
//  - .SE: outside a record, empty lines, comments ("#" or ";" first) and
//    heads ("- Name=" first, then a name that is not empty); the two lines
//    after a head are its record's and must each hold, after white space,
//    a key of letters and blanks, then "=". At least one record whose third
//    line holds "Name Server=". A record cut off by the end of the lines
//    looked at is not checked.
//  - Master file (RFC 1035): records split into fields at blanks and tabs,
//    with "..." strings, "\" escapes, ";" comments and records continued
//    over lines inside parentheses. A line that starts with "$" is one of
//    $ORIGIN NAME, $TTL TTL, $INCLUDE FILE..., $GENERATE ... . A record is
//    an owner (absent when the line starts with a blank or tab), up to one
//    TTL and one class in either order, a known record type (any case, or
//    TYPEnnn) and at least one data field. Names are "@" or the bytes
//    A-Z a-z 0-9 - _ . * / and escapes; a TTL is digits, or numbers each
//    followed by a unit (s m h d w, any case); a class is IN, CH, HS, CS,
//    NONE, ANY or CLASSnnn. A parenthesis still open at the end of the file
//    refuses it. At least one record.
//
// Lines of the gTLD shape are master-file records too: a file whose lines
// all fit the gTLD grammar is gTLD (its extractor reads them as that layout
// is published), otherwise one whose lines all fit the master grammar is a
// master file. No .SE line fits either of the others.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "extraction/extraction_state.h"

namespace plexor
{
    inline constexpr std::size_t kRecognitionBytes = 64 * 1024;
    inline constexpr std::size_t kRecognitionLines = 1000;

    enum class ZoneLayout
    {
        Gtld,
        Se,
        Master
    };

    // "gtld", "se" or "master", as the command line names them.
    std::string_view LayoutName(ZoneLayout layout);
    ZoneType ToZoneType(ZoneLayout layout);

    struct LayoutRecognition
    {
        // Nothing when the layout cannot be told.
        std::optional<ZoneLayout> layout;
        // When not recognised: "layout not recognised: " and why, for
        // instance "layout not recognised: line 3 fits no layout: <html>".
        std::string reason;
        // The zone's origin, lower case, without its final dot ("." for
        // the root), when the lines looked at name it:
        //  - gTLD: the first "$ORIGIN " line's name;
        //  - master: the first SOA record's owner ("@" and relative owners
        //    taken with the $ORIGIN in force, a blank owner as the owner
        //    before it), or, without an SOA, the first $ORIGIN;
        //  - .SE: the name of the first head whose name has no dot (the
        //    zone's own record, "- Name=se").
        // Nothing when none is found (or the layout is not recognised):
        // callers then name the zone after its file (see zone_set.h).
        std::optional<std::string> origin;
    };

    // Recognises the layout of the lines of `head`, the beginning of a
    // zone's text; `ended` tells that the zone ends there (otherwise a
    // record cut off at its end is not checked).
    LayoutRecognition RecogniseLayoutInText(std::string_view head, bool ended);
    // The same for a zone file (gzip read through). A path that is not a
    // regular file is refused ("the file could not be read: ...").
    LayoutRecognition RecogniseLayout(const std::filesystem::path& zonePath);
    // The origin alone, as RecogniseLayout finds it.
    std::optional<std::string> ZoneOrigin(const std::filesystem::path& zonePath);
}
