#!/usr/bin/python3
"""A second, independent reading of standard master files (RFC 1035 zone
files: ICANN's zone files, zone transfers, hand-written zones), built on
dnspython's zone-file reader rather than on the engine's code. Used by
scripts/make-samples.sh to make and cross-check the expected outputs of the
master-file samples.

  master-reference.py --mode domains|nameservers [--min N] [--max N]
                      [--exclude TEXT] [--include TEXT] [--ns TEXT] [--append]
                      ZONE [OUTPUT]

Options left out take the dialog's first-start values (--min 5 --max 18
--exclude xyz-). ZONE may be gzip-compressed. Writes one entry per line, each
followed by CR LF, to OUTPUT or standard output. A file dnspython cannot read
stops the script with its message (exit 1): the oracle is for well-formed
zones.

What it lists:
- domains: the owner of every NS record other than the zone's apex (the owner
  of the first SOA; before any SOA, the first $ORIGIN), ASCII letters in lower
  case, without the final dot; the root is never a domain. A record whose
  owner is the domain accepted last adds no entry (with --append it adds its
  server to that entry). Filters, with name and filter texts compared in upper
  case: length in bytes between --min and --max, none of the --exclude
  characters, one of the --include words when any are given; with --ns a
  record counts only when its server begins with one of the entries.
  --append writes "name: server1,server2".
- nameservers: each distinct target of the NS records whose owner is not the
  apex, lower case, without the final dot, in order of first appearance; no
  filters.

dnspython is stretched in three places, each to read a file as the master
file rules say rather than as dnspython 2.3 does:
- the class may stand before the TTL ("IN 2D NS ..."); dnspython 2.3 reads
  only the TTL first;
- a relative $ORIGIN is taken relative to the origin before it;
- before any $ORIGIN, relative names are relative to the owner of the first
  SOA once one has been read (the root before).
"""

import argparse
import gzip
import sys

import dns.exception
import dns.name
import dns.rdataclass
import dns.rdatatype
import dns.tokenizer
import dns.ttl
import dns.zonefile

_ASCII_UPPER = str.maketrans("abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ")
_ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")


class StackTokenizer(dns.tokenizer.Tokenizer):
    """dnspython's tokenizer with room for more than one token given back."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.returned = []

    def unget(self, token):
        self.returned.append(token)

    def get(self, want_leading=False, want_comment=False):
        while self.returned:
            token = self.returned.pop()
            if token.is_whitespace():
                if want_leading:
                    return token
            elif token.is_comment():
                if want_comment:
                    return token
            else:
                return token
        return super().get(want_leading, want_comment)


def _is_class(token):
    try:
        dns.rdataclass.from_text(token.value)
        return True
    except Exception:
        return False


def _is_ttl(token):
    try:
        dns.ttl.from_text(token.value)
        return True
    except Exception:
        return False


class OrderedReader(dns.zonefile.Reader):
    """dnspython's reader, also taking the class before the TTL."""

    def _rr_line(self):
        self.first_field = True
        super()._rr_line()

    def _get_identifier(self):
        token = super()._get_identifier()
        if self.first_field:
            self.first_field = False
            if _is_class(token):
                following = self.tok.get()
                if following.is_identifier() and _is_ttl(following):
                    # "IN 2D": hand out the TTL now and the class next.
                    self.tok.unget(token)
                    return following
                self.tok.unget(following)
        return token


class RecordStream(dns.zonefile.RRsetsReaderTransaction):
    """Receives the records from the reader in file order and hands each to
    a callback, keeping none: memory stays flat on a large zone."""

    def __init__(self, manager, on_record, on_origin):
        super().__init__(manager, True, False)
        self.on_record = on_record
        self.on_origin = on_origin
        self.reader = None
        self.origin_seen = False
        self.soa_seen = False
        self.previous_origin = dns.name.root

    def add(self, name, ttl, rdata):
        if rdata.rdtype == dns.rdatatype.SOA and not self.soa_seen:
            self.soa_seen = True
            if not self.origin_seen:
                self.reader.current_origin = name
        self.on_record(name, rdata)

    def _set_origin(self, origin):
        if not origin.is_absolute():
            origin = origin.derelativize(self.previous_origin)
            self.reader.current_origin = origin
        self.previous_origin = origin
        self.origin_seen = True
        self.on_origin(origin)


def read_records(stream, on_record, on_origin):
    manager = dns.zonefile.RRSetsReaderManager(dns.name.root, False, dns.rdataclass.IN)
    txn = RecordStream(manager, on_record, on_origin)
    tok = StackTokenizer(stream, "<zone>")
    reader = OrderedReader(tok, dns.rdataclass.IN, txn, allow_include=False)
    txn.reader = reader
    reader.read()


def output_name(name):
    """A name as the output writes it: lower-case ASCII letters, no final dot."""
    return name.to_text(omit_final_dot=True).translate(_ASCII_LOWER)


def split_include_words(text):
    """Split at commas; empty pieces are kept, except a last one."""
    words = []
    text = text.translate(_ASCII_UPPER)
    if text == "":
        return words
    while "," in text:
        piece, text = text.split(",", 1)
        words.append(piece)
    if text != "":
        words.append(text)
    return words


def split_name_servers(text):
    """Split at commas; empty pieces and repeats are dropped."""
    entries = []
    for piece in text.translate(_ASCII_UPPER).split(","):
        if piece != "" and piece not in entries:
            entries.append(piece)
    return entries


def excluded_parts(text):
    """The excluded characters as byte strings: a whole UTF-8 character as
    one part, any other byte on its own."""
    parts = []
    for character in text.translate(_ASCII_UPPER):
        if 0xDC80 <= ord(character) <= 0xDCFF:  # a byte that was not UTF-8
            parts.append(bytes([ord(character) - 0xDC00]))
        else:
            parts.append(character.encode("utf-8"))
    return parts


class Filters:
    def __init__(self, args):
        self.min = args.min
        self.max = args.max
        self.excluded = excluded_parts(args.exclude)
        self.words = [word.encode("utf-8", "surrogateescape") for word in split_include_words(args.include)]
        self.name_servers = split_name_servers(args.ns)

    def passes(self, name):
        data = name.translate(_ASCII_UPPER).encode("utf-8", "surrogateescape")
        if len(data) > self.max or len(data) < self.min:
            return False
        if self.words and not any(word in data for word in self.words):
            return False
        return not any(part in data for part in self.excluded)

    def server_listed(self, server):
        if not self.name_servers:
            return True
        upper = server.translate(_ASCII_UPPER)
        return any(upper.startswith(entry) for entry in self.name_servers)


def main():
    parser = argparse.ArgumentParser(description="Expected outputs of a master-file zone, read with dnspython.")
    parser.add_argument("--mode", choices=["domains", "nameservers"], required=True)
    parser.add_argument("--min", type=int, default=5)
    parser.add_argument("--max", type=int, default=18)
    parser.add_argument("--exclude", default="xyz-")
    parser.add_argument("--include", default="")
    parser.add_argument("--ns", default="")
    parser.add_argument("--append", action="store_true")
    parser.add_argument("zone")
    parser.add_argument("output", nargs="?")
    args = parser.parse_args()

    filters = Filters(args)
    entries = []
    state = {"apex": None, "apex_from_soa": False, "previous": None}
    seen_servers = set()

    def on_origin(origin):
        if state["apex"] is None:
            state["apex"] = origin

    def on_record(owner, rdata):
        if rdata.rdtype == dns.rdatatype.SOA and not state["apex_from_soa"]:
            state["apex"] = owner
            state["apex_from_soa"] = True
        if rdata.rdtype != dns.rdatatype.NS:
            return
        if state["apex"] is not None and owner == state["apex"]:
            return
        server = output_name(rdata.target)
        if args.mode == "nameservers":
            if server not in seen_servers:
                seen_servers.add(server)
                entries.append(server)
            return
        if owner == dns.name.root or not filters.server_listed(server):
            return
        name = output_name(owner)
        if name == state["previous"]:
            if args.append:
                entries[-1] += "," + server
            return
        if not filters.passes(name):
            return
        entries.append(f"{name}: {server}" if args.append else name)
        state["previous"] = name

    with open(args.zone, "rb") as probe:
        compressed = probe.read(2) == b"\x1f\x8b"
    opener = gzip.open if compressed else open
    try:
        with opener(args.zone, "rt", encoding="utf-8", errors="surrogateescape", newline=None) as stream:
            read_records(stream, on_record, on_origin)
    except dns.exception.DNSException as error:
        print(f"master-reference: {args.zone}: {error}", file=sys.stderr)
        return 1

    text = "".join(entry + "\r\n" for entry in entries).encode("utf-8", "surrogateescape")
    if args.output:
        with open(args.output, "wb") as out:
            out.write(text)
    else:
        sys.stdout.buffer.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
