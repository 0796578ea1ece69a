# A second, independent reading of the two zone layouts, written from the
# rules in docs/using-plexor2.md rather than from the engine's code. Used by
# scripts/make-samples.sh to cross-check every expected sample output that
# the engine produced: the two must agree byte for byte.
#
#   awk -v layout=gtld|se -v mode=domains|nameservers -v min=N -v max=N
#       -v exclude=TEXT [-v include=TEXT] [-v ns=TEXT] [-v append=1] -f zone-reference.awk ZONE
#
# Writes one entry per line, each followed by CR LF. Reads plain text only
# (the caller decompresses).

BEGIN {
    exclude = toupper(exclude)

    # Include words: split at commas, empty pieces kept, a last empty piece dropped.
    includeCount = 0
    rest = toupper(include)
    if (rest != "") {
        while ((comma = index(rest, ",")) > 0) {
            includeWords[++includeCount] = substr(rest, 1, comma - 1)
            rest = substr(rest, comma + 1)
        }
        if (rest != "") includeWords[++includeCount] = rest
    }

    # Name servers: split at commas, empty pieces and repeats dropped.
    nsCount = 0
    pieces = split(toupper(ns), nsPieces, ",")
    for (i = 1; i <= pieces; i++) {
        if (nsPieces[i] == "" || (nsPieces[i] in nsSeen)) continue
        nsSeen[nsPieces[i]] = 1
        nameServers[++nsCount] = nsPieces[i]
    }

    origin = ""
    previous = ""
    count = 0
}

function passes(name,    length_, i, found) {
    length_ = length(name)
    if (length_ > max + 0 || length_ < min + 0) return 0
    if (includeCount > 0) {
        found = 0
        for (i = 1; i <= includeCount; i++)
            if (includeWords[i] == "" || index(name, includeWords[i]) > 0) { found = 1; break }
        if (!found) return 0
    }
    for (i = 1; i <= length(exclude); i++)
        if (index(name, substr(exclude, i, 1)) > 0) return 0
    return 1
}

function stripCr(text) {
    sub(/\r$/, "", text)
    return text
}

function add(entry) {
    entries[++count] = entry
}

function gtldDomain(line,    isOrigin, tail, first, head5, matched, i, p, domain, server) {
    isOrigin = substr(line, 1, 8) == "$ORIGIN "
    if (isOrigin) {
        tail = substr(line, length(line) - 3)
        while (tail != "" && index(". \r\n", substr(tail, length(tail), 1)) > 0)
            tail = substr(tail, 1, length(tail) - 1)
        origin = "." tail
    } else {
        if (index(line, " NS ") == 0) return
        first = substr(line, 1, 1)
        if (first == ";" || first == " ") return
        head5 = substr(line, 1, 5)
        if (head5 == "COM. " || head5 == "NET. " || head5 == "ORG. " || head5 == "EDU. ") return
    }
    if (nsCount > 0) {
        matched = 0
        for (i = 1; i <= nsCount; i++)
            if (index(line, " NS " nameServers[i]) > 0) { matched = 1; break }
        if (!matched) return
    }
    p = index(line, " NS ")
    if (p <= 1) return
    domain = substr(line, 1, p - 1)
    if (append) {
        server = substr(line, p + 4)
        if (substr(server, length(server), 1) == ".") server = substr(server, 1, length(server) - 1)
        else server = server origin
    }
    domain = domain origin
    if (domain == previous) {
        if (append) entries[count] = entries[count] "," server
        return
    }
    if (!passes(domain)) return
    add(append ? domain ": " server : domain)
    previous = domain
}

function gtldNameServer(line,    first, p) {
    if (line == "") return
    first = substr(line, 1, 1)
    if (first == ";" || first == " ") return
    p = index(line, " A ")
    if (p > 1) add(substr(line, 1, p - 1))
}

# The two lines after a head; 0 when the file ends first.
function readRecordRest(    second) {
    if ((getline second) <= 0) return 0
    if ((getline detail) <= 0) return 0
    detail = stripCr(detail)
    return 1
}

function seRecord(line,    name, trimmed, k, server, upperServer, matched, i) {
    if (substr(line, 1, 7) != "- Name=") return
    name = substr(line, 8)
    if (name == "se") return
    if (!readRecordRest()) { finished = 1; return }
    if (mode == "nameservers") {
        if (index(detail, "IP Address=") > 0) add(name)
        return
    }
    trimmed = detail
    sub(/^[ \t\r\n\v\f]+/, "", trimmed)
    sub(/[ \t\r\n\v\f]+$/, "", trimmed)
    k = index(trimmed, "Name Server=")
    if (k == 0) return
    server = substr(trimmed, k + 12)
    upperServer = toupper(server)
    if (nsCount > 0) {
        matched = 0
        for (i = 1; i <= nsCount; i++)
            if (index(upperServer, nameServers[i]) > 0) { matched = 1; break }
        if (!matched) return
    }
    if (name == previous) {
        if (append && count > 0) entries[count] = entries[count] "," server
        return
    }
    if (!passes(toupper(name))) return
    add(append ? name ": " server : name)
    previous = name
}

{
    if (finished) next
    line = stripCr($0)
    if (layout == "gtld" && mode == "domains") gtldDomain(line)
    else if (layout == "gtld") gtldNameServer(line)
    else seRecord(line)
}

END {
    for (i = 1; i <= count; i++) printf "%s\r\n", entries[i]
}
