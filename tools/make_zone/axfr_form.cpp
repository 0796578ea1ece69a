// The axfr form: a standard master file as `dig AXFR` writes a zone
// transfer, with a hand-maintained part after dig's columns ($ORIGIN,
// relative names, continued owners, records over several lines). It ends
// within a few lines of the count asked for (its fixed parts take about 110
// lines).

#include <iterator>

#include "layouts.h"
#include "names.h"
#include "own_servers.h"
#include "random.h"
#include "writers.h"

namespace make_zone
{
    namespace
    {
        // dig's columns: the owner, then tabs up to column 24, or a single blank
        // after an owner that reaches it.
        std::string DigLine(const std::string& owner, std::string_view ttl, std::string_view type, std::string_view data)
        {
            std::string line = owner;
            if (owner.size() < 24)
                line.append((24 - owner.size() + 7) / 8, '\t');
            else
                line += ' ';
            line += ttl;
            line += "\tIN\t";
            line += type;
            line += '\t';
            line += data;
            return line;
        }

        std::string Signature(Random& random, std::string_view covered, std::string_view labels, std::string_view ttl)
        {
            std::string data(covered);
            data += " 8 ";
            data += labels;
            data += ' ';
            data += ttl;
            data += " 20261223000000 20261209000000 40120 nu. ";
            AppendBase64(data, random, 128);
            return data;
        }

        // One axfr zone being written, part after part, in file order (the
        // parts draw from one generator, so their order is the output's).
        struct AxfrZone
        {
            AxfrZone(BlockWriter& writer, Random& generator, OwnServerShare& ownShare, std::uint64_t lineCount)
                : out(writer)
                , random(generator)
                , own(ownShare)
                , lines(lineCount)
                , labels(generator, lineCount / 5)
            {
            }

            // dig's header, the SOA over several lines, the apex records and
            // a few relative names before the first $ORIGIN.
            void WriteApex();
            // The delegations in dig's columns, up to 55 % of the lines.
            void WriteDigDelegations();
            // The fixed records that open the hand-maintained part.
            void WriteHandFixedPart();
            // One domain as a person writes it: a relative owner, the TTL and
            // class in any order or left out, continued owners, glue.
            void WriteHandDomain();
            // The hand-written domains up to the trailer, then dig's trailer.
            void WriteHandDomainsAndTrailer();

            BlockWriter& out;
            Random& random;
            OwnServerShare& own;
            std::uint64_t lines;
            const std::vector<std::string> hosters = LowerCaseHosters();
            UniqueLabels labels;
            std::string label;
            std::string data;
        };

        void AxfrZone::WriteApex()
        {
            out.Line("; <<>> DiG 9.18.28-1~deb12u2-Debian <<>> @zonedata.example nu. AXFR");
            out.Line("; (1 server found)");
            out.Line(";; global options: +cmd");
            out.Line("; Synthetic zone-transfer-form zone made by make_zone: dig's columns first, then a");
            out.Line("; hand-maintained part with $ORIGIN, relative names and continued owners.");
            out.Line("$TTL 2D");
            out.Line("nu.\t\t\t86400\tIN\tSOA\ta.ns.nu. hostmaster.Zonedata.EXAMPLE. (");
            out.Line("\t\t\t\t\t2026120901 ; serial");
            out.Line("\t\t\t\t\t1h30m      ; refresh (1 hour 30 minutes)");
            out.Line("\t\t\t\t\t30M        ; retry (30 minutes)");
            out.Line("\t\t\t\t\t2W         ; expire (2 weeks)");
            out.Line("\t\t\t\t\t1H )       ; minimum (1 hour)");
            out.Line(DigLine("nu.", "86400", "RRSIG", Signature(random, "SOA", "1", "86400")));
            out.Line(DigLine("nu.", "86400", "NS", "a.ns.nu."));
            out.Line(DigLine("nu.", "86400", "NS", "B.NS.Nu."));
            out.Line(DigLine("nu.", "86400", "NS", "c.Ns.NU."));
            out.Line(DigLine("nu.", "86400", "RRSIG", Signature(random, "NS", "1", "86400")));
            for (const char* flags : {"257", "256"})
            {
                data = std::string(flags) + " 3 8 ";
                AppendBase64(data, random, 260);
                out.Line(DigLine("nu.", "3600", "DNSKEY", data));
            }
            out.Line(DigLine("nu.", "3600", "TXT", "\"synthetic zone; not real data (made by make_zone)\" \"a \\\"quoted\\\" word\""));
            out.Line(DigLine("nu.", "0", "NSEC3PARAM", "1 0 0 -"));
            out.Line(DigLine("nu.", "3600", "NSEC", "a.ns.nu. NS SOA TXT RRSIG NSEC DNSKEY NSEC3PARAM"));
            out.Line("; names without a final dot are relative to the SOA's owner until the first $ORIGIN");
            out.Line("a.ns\t\t\t86400\tIN\tA\t192.0.2.53");
            out.Line("a.ns\t\t\t86400\tIN\tAAAA\t2001:db8::53");
            out.Line("b.NS\t\t\t86400\tIN\tA\t192.0.2.54");
            out.Line("c.ns\t\t\t86400\tIN\tA\t192.0.2.55");
            out.Line("earlybird\t\t86400\tIN\tNS\tns1.dnspark.com.");
            out.Line("earlybird\t\t86400\tIN\tNS\tns2.earlybird");
            out.Line("ns2.earlybird\t\t86400\tIN\tA\t192.0.2.56");
        }

        void AxfrZone::WriteDigDelegations()
        {
            // Delegations as dig writes them, some signed (DS, its RRSIG, NSEC and
            // the NSEC's RRSIG), some with an NSEC3 record of an unsigned one.
            const std::uint64_t digPart = lines * 11 / 20;
            while (out.lines() < digPart)
            {
                labels.Next(label);
                const std::string owner = MixCase(label + ".nu.", random);
                const unsigned servers = ServerCount(random);
                const bool ownServers = own.Decide(random.Below(6) == 0);
                const std::string& hoster = hosters[random.Below(static_cast<unsigned>(hosters.size()))];
                for (unsigned i = 1; i <= servers; ++i)
                {
                    const std::string server = "ns" + std::to_string(i) + "." + (ownServers ? label + ".nu." : hoster);
                    out.Line(DigLine(owner, "86400", "NS", MixCase(server, random)));
                }
                const unsigned security = random.Below(6);
                if (security == 0)
                {
                    data = std::to_string(random.Below(65536)) + " 8 2 ";
                    AppendHex(data, random, 64);
                    out.Line(DigLine(owner, "3600", "DS", data));
                    out.Line(DigLine(owner, "3600", "RRSIG", Signature(random, "DS", "2", "3600")));
                    out.Line(DigLine(owner, "3600", "NSEC", "next-" + label + ".nu. NS DS RRSIG NSEC"));
                    out.Line(DigLine(owner, "3600", "RRSIG", Signature(random, "NSEC", "2", "3600")));
                }
                else if (security == 1)
                {
                    std::string hashed;
                    AppendBase32Hex(hashed, random, 32);
                    data = "1 1 0 - ";
                    AppendBase32Hex(data, random, 32);
                    out.Line(DigLine(Upper(hashed) + ".nu.", "3600", "NSEC3", Upper(data) + " NS"));
                }
                for (unsigned i = 1; ownServers && i <= servers; ++i)
                    out.Line(DigLine("ns" + std::to_string(i) + "." + owner, "86400", "A", Ipv4(random)));
            }
        }

        void AxfrZone::WriteHandFixedPart()
        {
            // The hand-maintained part: relative names, continued owners, TTLs
            // with units, the class before the TTL, records over several lines.
            out.Line("");
            out.Line("; ---- hand-maintained part ----");
            out.Line("$ORIGIN nu.");
            out.Line("$TTL 1h30m");
            out.Line("@\t\t\tIN\tTXT\t\"v=spf1 -all; kept (by hand)\" \"second \\\"part\\\"\"");
            out.Line("@\t\t\tIN\tNS\ta.ns\t\t; the zone's own server again: no delegation");
            out.Line("shop-kalo\t\tIN\tNS\tns1.shop-kalo");
            out.Line("\t\t\tIN\tNS\tNS2.Shop-Kalo");
            out.Line("\t\t\tIN\tDS\t(");
            data.clear();
            AppendHex(data, random, 32);
            out.Line("\t\t\t\t60485 8 2 " + data);
            data.clear();
            AppendHex(data, random, 32);
            out.Line("\t\t\t\t" + data + " )\t; digest over two lines");
            out.Line("ns1.shop-kalo\t\tIN 2D\tA\t192.0.2.10");
            out.Line("ns2.shop-kalo\t\t2D IN\tA\t192.0.2.11");
            out.Line("MixedCase\t\tIN\t3600\tNS\tNS1.DNSPARK.COM.");
            out.Line("\t\t\t3600\tNS\tns2.dnspark.com.\t; no class");
            out.Line("\t\t\tDS\t2371 13 2 " + [&] {
                std::string digest;
                AppendHex(digest, random, 64);
                return digest;
            }());
            out.Line("\t\t\tNS\tns3.DnsPark.com.\t; neither TTL nor class");
            out.Line("\t\t\tin\tns\tns4.dnspark.com.\t; class and type in lower case");
            out.Line("split-record\t\tIN\tNS\t(");
            out.Line("\t\t\t\tns1.zonehub.net.\t; a record over two lines");
            out.Line("\t\t\t\t)");
            out.Line("CaseMix\t\t\tIN\tNS\tns1.hostmaster.net.");
            out.Line("casemix\t\t\tIN\tNS\tns2.hostmaster.net.");
            out.Line("CASEMIX.nu.\t\tIN\tNS\tns3.hostmaster.net.");
        }

        void AxfrZone::WriteHandDomain()
        {
            labels.Next(label);
            const std::string owner = MixCase(label, random);
            const unsigned servers = ServerCount(random);
            const bool ownServers = own.Decide(random.Below(5) == 0);
            const std::string& hoster = hosters[random.Below(static_cast<unsigned>(hosters.size()))];
            constexpr std::string_view kTtls[] = {"", "1h30m", "2D", "86400", "1W"};
            const std::string_view ttl = kTtls[random.Below(std::size(kTtls))];
            const unsigned order = random.Below(4);
            std::string fields;
            if (ttl.empty())
                fields = order == 0 ? "" : "IN\t";
            else if (order == 0)
                fields = "IN " + std::string(ttl) + "\t";
            else if (order == 1)
                fields = std::string(ttl) + "\t";
            else
                fields = std::string(ttl) + "\tIN\t";
            for (unsigned i = 1; i <= servers; ++i)
            {
                std::string line = i == 1 ? owner + (owner.size() < 8 ? "\t\t\t" : owner.size() < 16 ? "\t\t" : "\t")
                                          : std::string("\t\t\t");
                line += fields;
                line += "NS\t";
                const std::string server = "ns" + std::to_string(i) + "." + (ownServers ? label : hoster);
                line += MixCase(server, random);
                out.Line(line);
                if (i == 1 && random.Below(8) == 0)
                {
                    data = "\t\t\tDS\t" + std::to_string(random.Below(65536)) + " 13 2 ";
                    AppendHex(data, random, 64);
                    out.Line(data);
                }
            }
            for (unsigned i = 1; ownServers && i <= servers; ++i)
            {
                const std::string host = "ns" + std::to_string(i) + "." + label;
                out.Line(host + (host.size() < 16 ? "\t\t" : "\t") + "IN\tA\t" + Ipv4(random));
                if (random.Below(3) == 0)
                    out.Line("\t\t\tIN\tAAAA\t2001:db8::" + std::to_string(1 + random.Below(9999)));
            }
            if (random.Below(12) == 0)
                out.Line("; transferred to another registrar on 2026-0" + std::to_string(1 + random.Below(9)) + "-1"
                         + std::to_string(random.Below(10)));
            else if (random.Below(12) == 0)
                out.Line("");
        }

        void AxfrZone::WriteHandDomainsAndTrailer()
        {
            out.Line("$ORIGIN org\t\t; relative to the origin before: org.nu.");
            for (int i = 0; i < 15; ++i)
                WriteHandDomain();
            out.Line("$ORIGIN nu.");
            constexpr std::uint64_t kTrailer = 5;
            while (out.lines() + kTrailer < lines)
                WriteHandDomain();

            out.Line(DigLine("nu.", "86400", "SOA", "a.ns.nu. hostmaster.Zonedata.EXAMPLE. 2026120901 5400 1800 1209600 3600"));
            out.Line(";; Query time: 118 msec");
            out.Line(";; SERVER: 192.0.2.1#53(zonedata.example) (TCP)");
            out.Line(";; WHEN: Wed Dec 09 00:00:00 UTC 2026");
            out.Line(";; XFR size: " + std::to_string(out.lines()) + " records (messages 1, bytes 0)");
        }
    }

    int WriteAxfrZone(const ZoneRequest& request)
    {
        return WriteZoneFile(request.output, [&](std::FILE* file) {
            Random random(request.seed);
            BlockWriter writer(file, request.crlf);
            OwnServerShare own(request.seed, request.ownServersPercent);
            AxfrZone zone(writer, random, own, request.lines);
            zone.WriteApex();
            zone.WriteDigDelegations();
            zone.WriteHandFixedPart();
            zone.WriteHandDomainsAndTrailer();
            writer.Flush();
        });
    }
}
