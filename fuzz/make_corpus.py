#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<name>/.

The seeds are small inputs that reach the interesting paths at once: the
line rules, gzip data, both zone layouts with every mode and filter, number
fields at their limits, stored texts of every refused and accepted shape.
Run it again after changing a seed; it replaces the folders' contents.
"""

import gzip
import pathlib
import shutil
import struct
import zlib

HERE = pathlib.Path(__file__).resolve().parent

GTLD_ZONE = (b"; sample zone\n$ORIGIN COM.\nCOM. NS NS.EXAMPLE.NET.\n"
             b"EXAMPLE NS NS1.EXAMPLE\nEXAMPLE NS NS2.EXAMPLE.NET.\n"
             b"EXAMPLE-SHOP NS NS1.EXAMPLE\nNS1.EXAMPLE A 192.0.2.1\n"
             b"NS1.EXAMPLE A 192.0.2.2\r\n EXAMPLE NS X\nEXAMPLE 86400 IN NS NS1.EXAMPLE\n"
             b"$ORIGIN NET.\nOTHER NS NS1.OTHER\nOTHER NS \nLAST NS NS9.LAST.")
# The UTF-8 byte-order mark, which Windows editors write in front of a text.
BOM = b"\xef\xbb\xbf"
SE_ZONE = (b"- Name=se\nx\nx\n- Name=alpha.se\nx\n    Name Server=ns1.host.se\n"
           b"- Name=alpha.se\nx\nName Server=ns2.host.se\n- Name=beta.se\nx\nIP Address=192.0.2.1\n"
           b"- Name=ns1.host.se\nx\n  IP Address=192.0.2.1\n- Name=\nx\nName Server=\n"
           b"- Name=Alpha.se \r\nx\r\nName Server=ns3.host.se Name Server=x\r\n- Name=cut.se\nx")


MASTER_ZONE = (b"; <<>> DiG <<>> axfr example\n$TTL 1h\nexample.\t3600\tIN\tSOA\tns.example. h.example. (\n"
               b"\t\t1 2 3 4 5 )\nexample.\t3600\tIN\tNS\tns.example.\n"
               b"alpha.example. 3600 IN NS ns1.host.net.\n\t3600 IN NS NS2.Host.NET.\n"
               b"alpha.example. 3600 IN DS 1 8 2 AB\nBeta.Example.\tin\t1h30m\tns\tns1.beta\r\n"
               b"$ORIGIN sub.example.\n@ NS ns1\ngamma ( NS\n ns1.gamma.net. ) ; (\n"
               b"t TXT \"a ( ; \\\" b\" \\(\na\\.b NS n\\032s.\n$INCLUDE x\nc.x. NS .\n")
CZDS_ZONE = (b"com.\t900\tin\tsoa\ta.gtld-servers.net. nstld.verisign-grs.com. 1 1800 900 604800 86400\n"
             b"com.\t172800\tin\tns\ta.gtld-servers.net.\n"
             b"example.com.\t172800\tin\tns\tns1.example.net.\nexample.com.\t172800\tin\tns\tns2.example.net.\n"
             b"example.com.\t86400\tin\tds\t1 8 2 AB\nshop.com.\t172800\tin\tns\tns1.example.net.\n"
             b"shop.com.\t172800\tin\tns\tns1..example.net.\nshop.com.\t172800\tin\tns\tns3.example.net.")


def write(name, seeds):
    folder = HERE / "corpus" / name
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for index, (label, data) in enumerate(seeds):
        (folder / f"{index:03d}-{label}").write_bytes(data)


def gz(data):
    return gzip.compress(data, compresslevel=6, mtime=0)


def gz_with_header_fields(data):
    """One member with an extra field, a name, a comment and a header CRC."""
    header = b"\x1f\x8b\x08\x1e" + b"\0\0\0\0" + b"\x00\xff"
    header += struct.pack("<H", 6) + b"XY\x02\x00ab" + b"zone.txt\0" + b"a comment\0"
    header += struct.pack("<H", zlib.crc32(header) & 0xFFFF)
    deflate = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = deflate.compress(data) + deflate.flush()
    return header + body + struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF)


def line_reader_seeds():
    plain = [
        ("empty", b""), ("lf", b"a\nb\n"), ("crlf", b"a\r\nb\r\n"), ("no-final-lf", b"a\nb"),
        ("empty-lines", b"\n\n"), ("empty-between", b"a\r\n\r\nb"), ("two-crs", b"a\r\r\n"),
        ("inner-cr", b"a\rb\n"), ("final-cr", b"a\r"), ("nul", b"n\0l\n\0"),
        ("high-bytes", b"\xff\xfe\x80\n\x1f"), ("one-magic-byte", b"\x1f"),
        ("magic-then-junk", b"\x1f\x8b\x08\x00" + b"\xa5" * 40), ("magic-only", b"\x1f\x8b"),
        ("gtld", GTLD_ZONE), ("se", SE_ZONE), ("long-line", b"L" * 5000 + b"\r\nshort\n"),
    ]
    seeds = list(plain)
    seeds.append(("gzip-gtld", gz(GTLD_ZONE)))
    seeds.append(("gzip-two-members", gz(b"first\nhal") + gz(b"f\nsecond")))
    seeds.append(("gzip-truncated", gz(SE_ZONE)[:30]))
    seeds.append(("gzip-header-fields", gz_with_header_fields(GTLD_ZONE)))
    # The UTF-8 byte-order mark: dropped from the front of the data only
    # (also of gzip data), text anywhere else.
    seeds += [
        ("bom", BOM + b"a\r\nb\n"), ("bom-only", BOM), ("bom-twice", BOM + BOM + b"x\n"),
        ("bom-cut", b"\xef\xbbx\n"), ("bom-after-lf", b"\n" + BOM + b"x"),
        ("gzip-bom", gz(BOM + GTLD_ZONE)), ("gzip-bom-second-member", gz(b"a\n") + gz(BOM + b"b\n")),
    ]
    return seeds


def worker_header(mode, zone_type, append, gzip_too, origin, minimum, maximum, excluded, include, servers):
    flags = mode | (zone_type << 1) | (append << 3) | (gzip_too << 4) | (origin << 5)
    return (bytes([flags, minimum, maximum, len(excluded), len(include), len(servers)])
            + excluded + include + servers)


def worker_seeds():
    seeds = []
    for zone_name, zone in (("gtld", GTLD_ZONE), ("se", SE_ZONE)):
        for zone_type in range(4):
            for mode in (0, 1):
                for append in (0, 1):
                    label = f"{zone_name}-t{zone_type}-m{mode}-a{append}"
                    header = worker_header(mode, zone_type, append, append, zone_type & 1, 5, 22, b"", b"", b"")
                    seeds.append((label, header + zone))
    # Filters that bite: bounds, excluded characters, include words with an
    # empty piece, a name-server list with repeats and blanks.
    seeds.append(("gtld-filters", worker_header(0, 0, 1, 0, 0, 9, 17, b"-9", b"SHOP,,EX", b"ns1.example,, NS1.EXAMPLE")
                   + GTLD_ZONE))
    seeds.append(("se-filters", worker_header(0, 1, 1, 1, 0, 0, 0xFF, b"z", b"ALPHA,", b"NS2.HOST.SE,ns3")
                   + SE_ZONE))
    seeds.append(("bounds-reversed", worker_header(0, 0, 0, 0, 1, 30, 2, b"", b"", b"") + GTLD_ZONE))
    seeds.append(("bounds-extreme", worker_header(0, 0, 0, 0, 1, 0xFE, 0xFF, b"", b"", b"") + GTLD_ZONE))
    many = b"$ORIGIN COM.\n" + b"".join(b"D%d NS N%d.\nD%d NS M%d.\n" % (i, i, i, i) for i in range(1100))
    seeds.append(("gtld-two-batches-append", worker_header(0, 0, 1, 0, 0, 0, 0xFF, b"", b"", b"") + many))
    hosts = b"".join(b"H%d A 1\n" % i for i in range(1001))
    seeds.append(("gtld-hosts-1001", worker_header(1, 0, 0, 1, 0, 0, 0, b"", b"", b"") + hosts))
    seeds.append(("empty-zone", worker_header(0, 0, 0, 0, 0, 5, 18, b"xyz-", b"", b"")))
    seeds.append(("gtld-bom", worker_header(0, 0, 1, 1, 0, 5, 22, b"", b"", b"") + BOM + GTLD_ZONE))
    return seeds


def integer_field_seeds():
    texts = [
        "", "5", "18", " 42 ", "\t-7\t", "0", "00", "-0", "+0", "+00", "-2147483648", "2147483647",
        "2147483648", "-2147483649", "99999999999999999999", "1 2", "abc", "12abc", "+", "-", " ",
        "\u0663", "4\u00a0", "1" + " " * 29 + "x", "1" + " " * 30 + "x", " " * 30 + "7", " " * 31 + "7",
        "0" * 40 + "1", "-" + "9" * 30,
    ]
    seeds = [(f"text{index}", text.encode("utf-8")) for index, text in enumerate(texts)]
    # Bytes that are no UTF-8: continuation bytes right after the digit that
    # ends the 31 characters looked at, and a lone lead byte.
    seeds.append(("stray-continuation", b" " * 30 + b"7" + b"\xbe" * 60))
    seeds.append(("lone-lead-byte", b"12\xc3"))
    return seeds


def decipher_seeds():
    seeds = []
    for key_length in (0, 1, 8, 56, 60):
        for data_length in (0, 7, 8, 16, 24, 1032):
            for null_data in (0, 1):
                if null_data and data_length not in (0, 8):
                    continue
                control = key_length | (null_data << 6)
                key = bytes((37 * i + 11) % 256 for i in range(key_length))
                data = bytes((91 * i + 5) % 256 for i in range(data_length))
                seeds.append((f"k{key_length}-d{data_length}-n{null_data}", bytes([control]) + key + data))
    return seeds


def master_file_seeds():
    seeds = []
    for label, zone in (("transfer", MASTER_ZONE), ("czds", CZDS_ZONE)):
        for flags in range(8):
            seeds.append((f"{label}-f{flags}", bytes([flags]) + zone))
    for label, zone in (("open-paren", b"("), ("parens", b"(" * 300 + b"\n" + b")" * 300),
                        ("open-quote", b"a NS \"n\n\"\n"), ("nul", b"a\0 NS n\0\nb NS\0n\n"),
                        ("escape-at-end", b"a\\"), ("binary", bytes(range(256))),
                        # A name whose last label ends in an escaped dot (not a final dot).
                        ("escaped-final-dot", b"a\\.b NS n2s30\\.\na.b NS x\\\\.\n")):
        seeds.append((label, bytes([2]) + zone))
    # A byte-order mark in front: no part of the first line.
    seeds.append(("bom", bytes([2]) + BOM + CZDS_ZONE))
    seeds.append(("bom-only", bytes([2]) + BOM))
    return seeds


def zone_changes_seeds():
    # Flags (mode, layout, append, filters), then where yesterday's zone
    # ends in the rest (two bytes, big-endian); today's zone follows it.
    seeds = []
    days = (("gtld", 0, b"$ORIGIN COM.\nALPHA NS NS1.X.\nBRAVO NS NS1.X.\nNS1.ALPHA A 1\n",
             b"$ORIGIN COM.\nBRAVO NS NS2.X.\nCHARLIE NS NS1.X.\nBRAVO NS NS1.X.\nNS1.CHARLIE A 1\n"),
            ("se", 1, b"- Name=alpha.se\nx\nName Server=n.se\n- Name=n.se\nx\nIP Address=1\n",
             b"- Name=beta.se\nx\nName Server=n.se\n- Name=alpha.se\nx\nName Server=m.se\n"),
            ("master", 2, MASTER_ZONE, CZDS_ZONE + b"\nExample.com. NS ns9.example.net.\nnew.com. NS n.\n"))
    for label, zone_type, older, today in days:
        for mode in (0, 1):
            for append in (0, 1):
                flags = mode | zone_type << 1 | append << 3
                seeds.append((f"{label}-m{mode}-a{append}", bytes([flags]) + struct.pack(">H", len(older)) + older + today))
    seeds.append(("filtered", bytes([0x10 | 2 << 1]) + struct.pack(">H", len(CZDS_ZONE)) + CZDS_ZONE + MASTER_ZONE))
    return seeds


def kernel_seeds():
    """Zone text of every layout, its flag byte steering offsets and groups."""
    gtld_lines = b"".join(b"EXAMPLE%d NS NS%d.EXAMPLE.NET.\n" % (i // 3, i % 3) for i in range(150))
    simple = b"".join(b"d%d.example.\t3600\tin\tns\tns%d.host.net.\n" % (i // 2, i % 2) for i in range(150))
    seeds = []
    for label, text in (("gtld", GTLD_ZONE), ("se", SE_ZONE), ("transfer", MASTER_ZONE), ("czds", CZDS_ZONE),
                        ("gtld-repeats", gtld_lines), ("simple-ns", simple),
                        ("simple-crlf", simple.replace(b"\n", b"\r\n")),
                        ("long-labels", b"L" * 27 + b" NS X\n" + b"L" * 28 + b" NS X\n" + b"L" * 29 + b" NS X\n"),
                        ("dots", b"a..b.\n" + b"." * 70 + b"\n"), ("line-feeds", b"\n" * 200),
                        ("binary", bytes(range(256)))):
        for flags in (0x00, 0x09, 0x1B, 0x2D, 0x77, 0xFF):
            seeds.append((f"{label}-{flags:02x}", bytes([flags]) + text))
    return seeds


def lookalike_seeds():
    """Terms, then names: the first byte picks k and how many lines are terms."""
    def seed(k_choice, terms, names):
        return bytes([k_choice + 5 * (len(terms) - 1)]) + b"\n".join(terms + names)
    brands = [b"paypal", "münchen".encode(), b"microsoft", b"ebay", "раураl".encode()]
    variants = [b"paypa1.com", b"pay-pal.com", b"paypall.com", b"papyal.com", b"paypol.com", b"qaypal.com",
                b"paypal-login.com", b"securepaypal.com", b"xn--l-7sba6dbr.com", b"XN--MNCHEN-3YA.DE",
                b"rnicrosoft.com", b"micr0soft.com", b"mircosoft.net", b"ebay1.com", b"ebey.com", b"munchen.de",
                b"paypal.example", b"xn--zz-.com", b"pay\xffpal.com", b"\xc3\xa9bay", b".", b"", b"xn--",
                b"m\xfcnchen.de", b"P" * 70 + b".com"]
    seeds = []
    for k_choice in range(5):
        seeds.append((f"brands-k{k_choice}", seed(k_choice, brands, variants)))
    seeds.append(("short-terms", seed(4, [b"ab", b"a", b"abc"], [b"x", b"ba", b"abcd", b"", b"b-a"])))
    seeds.append(("invalid-terms", seed(0, [b"ok\xff", b"\xcc\x81", b"good"], [b"good", b"goood", b"\xcc\x81"])))
    seeds.append(("unicode", seed(2, ["İstanbul".encode(), "straße".encode(), "ǅemal".encode()],
                                  [b"istanbul", b"xn--istanbul-2ie", b"strasse", b"xn--strae-oqa", b"dzemal"])))
    return seeds


write("zone_line_reader", line_reader_seeds())
write("extraction_worker", worker_seeds())
write("master_file", master_file_seeds())
write("zone_changes", zone_changes_seeds())
write("kernels", kernel_seeds())
write("integer_field", integer_field_seeds())
write("decipher_text", decipher_seeds())
write("lookalike", lookalike_seeds())
