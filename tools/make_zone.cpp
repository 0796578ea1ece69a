// make_zone: writes a synthetic zone file, the same bytes for the same
// arguments on every machine. Used by the benchmarks and to make the sample
// zones.
//
//   make_zone --layout gtld|se|czds|axfr --lines N [--seed S] [--crlf] [--unique] OUTPUT
//   make_zone --next-day-of ZONE [--seed S] OUTPUT
//
// --next-day-of writes the czds zone ZONE as the registry might publish it a
// day later: about 0.1 % of its domains dropped, 0.1 % new ones added at
// random places and 0.5 % moved to other name servers; everything else, the
// order included, stays as it was.
//
// gtld and se are the two line layouts of the old registry files. czds and
// axfr are standard master files: czds as ICANN's zone files are written (one
// record a line, one tab between fields, lower case, fully qualified names);
// axfr as `dig AXFR` writes a zone transfer, with a hand-maintained part
// ($ORIGIN, relative names, continued owners, records over several lines).
//
// The czds form has exactly N lines; the axfr form ends within a few lines of
// N (its fixed parts take about 110 lines).
//
// --unique gives every domain one block of lines, as in a published zone;
// without it a short random name may come up again later in the file. The
// czds and axfr forms always name every domain once (up to 67 million
// domains), whatever --unique says.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace
{
    // A small fixed generator (splitmix64): the standard library's
    // distributions differ between implementations.
    class Random final
    {
    public:
        explicit Random(std::uint64_t seed)
            : m_state(seed)
        {
        }

        std::uint64_t Next()
        {
            std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            return z ^ (z >> 31);
        }

        unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }

    private:
        std::uint64_t m_state;
    };

    constexpr std::string_view kSyllables[] = {"ka", "lo", "mi", "ne", "ro", "sa", "ti", "vo", "be", "du",
                                               "fa", "gi", "ha", "jo", "ku", "le", "ma", "no", "pi", "ru"};
    constexpr std::string_view kWords[] = {"shop", "net", "web", "host", "cloud", "data", "green", "blue",
                                           "home", "mail", "buy", "best", "tech", "art", "city", "food"};
    constexpr std::string_view kHosters[] = {"HOSTMASTER.NET", "DNSPARK.COM", "NAMEFORGE.ORG", "ZONEHUB.NET",
                                             "CLOUDNS.EXAMPLE", "REGISTRAR-DNS.COM"};

    std::string MakeLabel(Random& random)
    {
        std::string label;
        const unsigned parts = 1 + random.Below(3);
        for (unsigned i = 0; i < parts; ++i)
        {
            if (random.Below(3) == 0)
                label += kWords[random.Below(std::size(kWords))];
            else
                label += kSyllables[random.Below(std::size(kSyllables))];
        }
        switch (random.Below(8))
        {
        case 0:
            label += std::to_string(random.Below(100));
            break;
        case 1:
            label += "-";
            label += kWords[random.Below(std::size(kWords))];
            break;
        default:
            break;
        }
        return label;
    }

    // Domain labels, each new one unique when asked for.
    class LabelSource final
    {
    public:
        LabelSource(Random& random, bool unique)
            : m_random(random)
            , m_unique(unique)
        {
        }

        std::string Next()
        {
            std::string label = MakeLabel(m_random);
            while (m_unique && !m_used.insert(label).second)
                label = MakeLabel(m_random);
            return label;
        }

    private:
        Random& m_random;
        bool m_unique;
        std::unordered_set<std::string> m_used;
    };

    std::string Upper(std::string text)
    {
        for (char& c : text)
        {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return text;
    }

    std::string Lower(std::string text)
    {
        for (char& c : text)
        {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        return text;
    }

    class Writer final
    {
    public:
        Writer(std::FILE* file, bool crlf)
            : m_file(file)
            , m_eol(crlf ? "\r\n" : "\n")
        {
        }

        void Line(const std::string& text)
        {
            std::fwrite(text.data(), 1, text.size(), m_file);
            std::fwrite(m_eol.data(), 1, m_eol.size(), m_file);
            ++m_lines;
        }

        std::uint64_t lines() const { return m_lines; }

    private:
        std::FILE* m_file;
        std::string_view m_eol;
        std::uint64_t m_lines = 0;
    };

    void WriteGtld(Writer& out, Random& random, LabelSource& labels, std::uint64_t lines)
    {
        out.Line("; Synthetic .COM-layout zone made by make_zone");
        out.Line("$ORIGIN COM.");
        out.Line("$TTL 172800");
        for (char server = 'A'; server <= 'D'; ++server)
            out.Line(std::string("COM. NS ") + server + ".GTLD-SERVERS.NET.");
        while (out.lines() < lines)
        {
            const std::string domain = Upper(labels.Next());
            const unsigned servers = 2 + random.Below(3);
            const bool ownServers = random.Below(6) == 0;
            const std::string hoster(kHosters[random.Below(std::size(kHosters))]);
            for (unsigned i = 1; i <= servers && out.lines() < lines; ++i)
            {
                if (ownServers)
                    out.Line(domain + " NS NS" + std::to_string(i) + "." + domain);
                else
                    out.Line(domain + " NS NS" + std::to_string(i) + "." + hoster + ".");
            }
            for (unsigned i = 1; ownServers && i <= servers && out.lines() < lines; ++i)
            {
                out.Line("NS" + std::to_string(i) + "." + domain + " A 192.0." + std::to_string(random.Below(256))
                         + "." + std::to_string(1 + random.Below(254)));
            }
            if (random.Below(500) == 0 && out.lines() < lines)
                out.Line("; comment between delegations");
        }
    }

    void WriteSe(Writer& out, Random& random, LabelSource& labels, std::uint64_t lines)
    {
        const auto record = [&](const std::string& name, const std::string& detail) {
            out.Line("- Name=" + name);
            out.Line("    Created=20" + std::to_string(10 + random.Below(15)) + "-0" + std::to_string(1 + random.Below(9))
                     + "-1" + std::to_string(random.Below(10)));
            out.Line("    " + detail);
        };
        out.Line("# Synthetic .SE-layout zone made by make_zone");
        record("se", "Name Server=a.ns.se");
        while (out.lines() + 3 <= lines)
        {
            const std::string domain = labels.Next() + ".se";
            const unsigned servers = 2 + random.Below(2);
            const bool ownServers = random.Below(6) == 0;
            const std::string hoster = Lower(std::string(kHosters[random.Below(std::size(kHosters))]));
            for (unsigned i = 1; i <= servers && out.lines() + 3 <= lines; ++i)
            {
                const std::string server = "ns" + std::to_string(i) + "." + (ownServers ? domain : hoster);
                record(domain, "Name Server=" + server);
            }
            for (unsigned i = 1; ownServers && i <= servers && out.lines() + 3 <= lines; ++i)
            {
                record("ns" + std::to_string(i) + "." + domain,
                       "IP Address=192.0." + std::to_string(random.Below(256)) + "." + std::to_string(1 + random.Below(254)));
            }
        }
        while (out.lines() < lines)
            out.Line("");
    }

    // Output of the master-file forms: a large buffer written out in blocks,
    // so that a whole registry zone (a gigabyte and more) goes out at disk
    // speed rather than at the speed of a library call per field.
    class BlockWriter final
    {
    public:
        BlockWriter(std::FILE* file, bool crlf)
            : m_file(file)
            , m_eol(crlf ? "\r\n" : "\n")
            , m_buffer(kSize)
        {
        }

        void Put(std::string_view text)
        {
            if (text.size() > kSize - m_used)
            {
                Flush();
                if (text.size() > kSize)
                {
                    std::fwrite(text.data(), 1, text.size(), m_file);
                    return;
                }
            }
            std::memcpy(m_buffer.data() + m_used, text.data(), text.size());
            m_used += text.size();
        }

        void PutNumber(std::uint64_t value)
        {
            char digits[20];
            const auto result = std::to_chars(digits, digits + sizeof digits, value);
            Put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
        }

        void EndLine()
        {
            Put(m_eol);
            ++m_lines;
        }

        void Line(std::string_view text)
        {
            Put(text);
            EndLine();
        }

        void Flush()
        {
            std::fwrite(m_buffer.data(), 1, m_used, m_file);
            m_used = 0;
        }

        std::uint64_t lines() const { return m_lines; }

    private:
        static constexpr std::size_t kSize = std::size_t(1) << 20;
        std::FILE* m_file;
        std::string_view m_eol;
        std::vector<char> m_buffer;
        std::size_t m_used = 0;
        std::uint64_t m_lines = 0;
    };

    // Domain labels that never repeat, without remembering the ones given:
    // the domain's number, scrambled by an odd multiplier modulo a power of two
    // (one to one below that power), written in bijective base 20 with one
    // syllable a digit, so that different numbers give different strings. A
    // word in front, or a hyphen and a word or a number behind, keeps that:
    // syllables hold no hyphen or digit, no word can be read as syllables, and
    // no word begins another.
    class UniqueLabels final
    {
    public:
        UniqueLabels(Random& random, std::uint64_t expectedDomains)
            : m_random(random)
            , m_offset(random.Next())
        {
            while (m_bits < 26 && (std::uint64_t(1) << m_bits) < expectedDomains * 8)
                ++m_bits;
        }

        void Next(std::string& label)
        {
            constexpr std::uint64_t kMultiplier = 0x5851F42D4C957F2Dull;
            const std::uint64_t mask = (std::uint64_t(1) << m_bits) - 1;
            std::uint64_t value = ((m_index++ * kMultiplier + m_offset) & mask) + 1;
            label.clear();
            const unsigned decoration = m_random.Below(10);
            if (decoration == 0)
                label += kWords[m_random.Below(std::size(kWords))];
            while (value > 0)
            {
                --value;
                label += kSyllables[value % 20];
                value /= 20;
            }
            if (decoration == 1)
            {
                label += '-';
                label += kWords[m_random.Below(std::size(kWords))];
            }
            else if (decoration == 2)
            {
                char digits[4];
                const auto result = std::to_chars(digits, digits + sizeof digits, m_random.Below(100));
                label.append(digits, result.ptr);
            }
        }

    private:
        Random& m_random;
        std::uint64_t m_offset;
        std::uint64_t m_index = 0;
        unsigned m_bits = 10;
    };

    void AppendHex(std::string& text, Random& random, unsigned digits)
    {
        constexpr char kHex[] = "0123456789ABCDEF";
        for (unsigned i = 0; i < digits; ++i)
            text += kHex[random.Below(16)];
    }

    void AppendBase32Hex(std::string& text, Random& random, unsigned characters)
    {
        constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
        for (unsigned i = 0; i < characters; ++i)
            text += kDigits[random.Below(32)];
    }

    void AppendBase64(std::string& text, Random& random, unsigned bytes)
    {
        constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (unsigned i = 0; i < bytes; i += 3)
        {
            const unsigned group = random.Below(1u << 24);
            const unsigned present = bytes - i < 3 ? bytes - i : 3;
            for (unsigned k = 0; k < 4; ++k)
                text += k <= present ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
        }
    }

    std::string Ipv4(Random& random)
    {
        return "192.0." + std::to_string(random.Below(256)) + "." + std::to_string(1 + random.Below(254));
    }

    // Two name servers for about half the domains, three or four for the rest,
    // as in a registry zone.
    unsigned ServerCount(Random& random)
    {
        const unsigned draw = random.Below(20);
        return draw < 11 ? 2 : draw < 17 ? 3 : 4;
    }

    void WriteCzds(BlockWriter& out, Random& random, std::uint64_t lines)
    {
        const auto room = [&] { return out.lines() < lines; };
        std::string scratch;

        if (!room())
            return;
        out.Line("com.\t900\tin\tsoa\ta.gtld-servers.net. nstld.verisign-grs.com. 1765238400 1800 900 604800 900");
        for (char server = 'a'; server <= 'm' && room(); ++server)
        {
            out.Put("com.\t172800\tin\tns\t");
            out.Put(std::string_view(&server, 1));
            out.Line(".gtld-servers.net.");
        }
        if (room())
        {
            scratch = "com.\t86400\tin\tdnskey\t257 3 13 ";
            AppendBase64(scratch, random, 64);
            out.Line(scratch);
        }
        if (room())
            out.Line("com.\t86400\tin\tnsec3param\t1 0 0 -");

        std::vector<std::string> hosters;
        for (const std::string_view hoster : kHosters)
            hosters.push_back(Lower(std::string(hoster)) + ".");
        UniqueLabels labels(random, lines / 3);
        std::string label;
        while (room())
        {
            labels.Next(label);
            const unsigned servers = ServerCount(random);
            const unsigned kind = random.Below(16);
            const bool glued = kind < 2;
            const bool outOfZone = kind == 2;
            const std::string_view hoster = hosters[random.Below(static_cast<unsigned>(hosters.size()))];
            for (unsigned i = 1; i <= servers && room(); ++i)
            {
                out.Put(label);
                out.Put(".com.\t172800\tin\tns\tns");
                out.PutNumber(i);
                out.Put(".");
                if (glued || outOfZone)
                {
                    out.Put(label);
                    out.Put(glued ? ".com." : ".net.");
                }
                else
                {
                    out.Put(hoster);
                }
                out.EndLine();
            }
            if (random.Below(10) == 0)
            {
                if (room())
                {
                    scratch = label;
                    scratch += ".com.\t86400\tin\tds\t";
                    scratch += std::to_string(random.Below(65536));
                    scratch += " 13 2 ";
                    AppendHex(scratch, random, 64);
                    out.Line(scratch);
                }
                if (room())
                {
                    scratch.clear();
                    AppendBase32Hex(scratch, random, 32);
                    scratch += ".com.\t86400\tin\tnsec3\t1 1 0 - ";
                    AppendBase32Hex(scratch, random, 32);
                    scratch += " ns ds rrsig";
                    out.Line(scratch);
                }
            }
            for (unsigned i = 1; glued && i <= servers && room(); ++i)
            {
                out.Put("ns");
                out.PutNumber(i);
                out.Put(".");
                out.Put(label);
                out.Put(".com.\t172800\tin\ta\t");
                out.Line(Ipv4(random));
                if (i == 1 && random.Below(3) == 0 && room())
                {
                    out.Put("ns1.");
                    out.Put(label);
                    out.Put(".com.\t172800\tin\taaaa\t2001:db8::");
                    scratch.clear();
                    AppendHex(scratch, random, 4);
                    out.Line(Lower(scratch));
                }
            }
        }
    }

    // A name as hand-written and transferred zones hold them: mostly lower
    // case, some all upper case, some with capitals at the labels' starts.
    std::string MixCase(std::string name, Random& random)
    {
        switch (random.Below(6))
        {
        case 0:
            return Upper(std::move(name));
        case 1:
            for (std::size_t i = 0; i < name.size(); ++i)
            {
                if ((i == 0 || name[i - 1] == '.') && name[i] >= 'a' && name[i] <= 'z')
                    name[i] = static_cast<char>(name[i] - 'a' + 'A');
            }
            return name;
        default:
            return name;
        }
    }

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

    void WriteAxfr(BlockWriter& out, Random& random, std::uint64_t lines)
    {
        std::vector<std::string> hosters;
        for (const std::string_view hoster : kHosters)
            hosters.push_back(Lower(std::string(hoster)) + ".");
        UniqueLabels labels(random, lines / 5);
        std::string label;
        std::string data;

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

        // Delegations as dig writes them, some signed (DS, its RRSIG, NSEC and
        // the NSEC's RRSIG), some with an NSEC3 record of an unsigned one.
        const std::uint64_t digPart = lines * 11 / 20;
        while (out.lines() < digPart)
        {
            labels.Next(label);
            const std::string owner = MixCase(label + ".nu.", random);
            const unsigned servers = ServerCount(random);
            const bool own = random.Below(6) == 0;
            const std::string& hoster = hosters[random.Below(static_cast<unsigned>(hosters.size()))];
            for (unsigned i = 1; i <= servers; ++i)
            {
                const std::string server = "ns" + std::to_string(i) + "." + (own ? label + ".nu." : hoster);
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
            for (unsigned i = 1; own && i <= servers; ++i)
                out.Line(DigLine("ns" + std::to_string(i) + "." + owner, "86400", "A", Ipv4(random)));
        }

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

        const auto handDomain = [&] {
            labels.Next(label);
            const std::string owner = MixCase(label, random);
            const unsigned servers = ServerCount(random);
            const bool own = random.Below(5) == 0;
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
                const std::string server = "ns" + std::to_string(i) + "." + (own ? label : hoster);
                line += MixCase(server, random);
                out.Line(line);
                if (i == 1 && random.Below(8) == 0)
                {
                    data = "\t\t\tDS\t" + std::to_string(random.Below(65536)) + " 13 2 ";
                    AppendHex(data, random, 64);
                    out.Line(data);
                }
            }
            for (unsigned i = 1; own && i <= servers; ++i)
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
        };

        out.Line("$ORIGIN org\t\t; relative to the origin before: org.nu.");
        for (int i = 0; i < 15; ++i)
            handDomain();
        out.Line("$ORIGIN nu.");
        constexpr std::uint64_t kTrailer = 5;
        while (out.lines() + kTrailer < lines)
            handDomain();

        out.Line(DigLine("nu.", "86400", "SOA", "a.ns.nu. hostmaster.Zonedata.EXAMPLE. 2026120901 5400 1800 1209600 3600"));
        out.Line(";; Query time: 118 msec");
        out.Line(";; SERVER: 192.0.2.1#53(zonedata.example) (TCP)");
        out.Line(";; WHEN: Wed Dec 09 00:00:00 UTC 2026");
        out.Line(";; XFR size: " + std::to_string(out.lines()) + " records (messages 1, bytes 0)");
    }

    // The owner of a czds line and whether the line is an NS record.
    std::string_view CzdsOwner(std::string_view line, bool& isNs)
    {
        const std::size_t tab = line.find('\t');
        isNs = line.find("\tin\tns\t") != std::string_view::npos;
        return line.substr(0, tab);
    }

    // See --next-day-of above. New domains get labels with an "x", which
    // no label of WriteCzds holds, so none of them was in the zone before.
    int WriteNextDay(std::FILE* in, std::FILE* out, Random& random)
    {
        std::string line;
        std::string owner; // of the domain whose lines are being copied
        bool dropped = false;
        bool moved = false;
        std::uint64_t added = 0;
        char buffer[1 << 16];
        const auto emit = [&](std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); };
        for (;;)
        {
            line.clear();
            bool any = false;
            while (std::fgets(buffer, sizeof buffer, in) != nullptr)
            {
                any = true;
                line += buffer;
                if (!line.empty() && line.back() == '\n')
                    break;
            }
            if (!any)
                break;
            bool isNs = false;
            const std::string_view lineOwner = CzdsOwner(line, isNs);
            if (lineOwner != owner && isNs && lineOwner != "com.")
            {
                // A new delegation begins.
                owner = lineOwner;
                const unsigned draw = random.Below(1000);
                dropped = draw == 0;
                moved = draw >= 1 && draw <= 5;
                if (draw == 6)
                {
                    const std::string label = "x" + std::to_string(++added) + "new";
                    for (unsigned i = 1; i <= 2; ++i)
                        emit(label + ".com.\t172800\tin\tns\tns" + std::to_string(i) + ".fresh-dns.net.\n");
                }
            }
            else if (lineOwner != owner)
            {
                dropped = false;
                moved = false;
            }
            if (dropped && lineOwner == owner)
                continue;
            if (moved && isNs && lineOwner == owner)
            {
                const std::size_t server = line.rfind('\t') + 1;
                emit(std::string_view(line).substr(0, server));
                emit("ns" + std::to_string(1 + random.Below(4)) + ".moved-hosting.net.\n");
                continue;
            }
            emit(line);
        }
        return std::ferror(in) ? 1 : 0;
    }

    int Usage()
    {
        std::fprintf(stderr, "usage: make_zone --layout gtld|se|czds|axfr --lines N [--seed S] [--crlf] [--unique] OUTPUT\n"
                             "       make_zone --next-day-of ZONE [--seed S] OUTPUT\n");
        return 2;
    }
}

int main(int argc, char** argv)
{
    std::string layout;
    std::uint64_t lines = 0;
    std::uint64_t seed = 1;
    bool crlf = false;
    bool unique = false;
    std::string output;
    std::string previousDay;
    for (int i = 1; i < argc; ++i)
    {
        const std::string_view arg = argv[i];
        const auto number = [&](std::uint64_t& target) {
            if (i + 1 >= argc)
                return false;
            const std::string_view text = argv[++i];
            return std::from_chars(text.data(), text.data() + text.size(), target).ec == std::errc();
        };
        if (arg == "--layout" && i + 1 < argc)
            layout = argv[++i];
        else if (arg == "--lines")
        {
            if (!number(lines))
                return Usage();
        }
        else if (arg == "--seed")
        {
            if (!number(seed))
                return Usage();
        }
        else if (arg == "--crlf")
            crlf = true;
        else if (arg == "--unique")
            unique = true;
        else if (arg == "--next-day-of" && i + 1 < argc)
            previousDay = argv[++i];
        else if (!arg.starts_with("--") && output.empty())
            output = arg;
        else
            return Usage();
    }
    if (!previousDay.empty() && !output.empty())
    {
        std::FILE* in = std::fopen(previousDay.c_str(), "rb");
        std::FILE* out = in != nullptr ? std::fopen(output.c_str(), "wb") : nullptr;
        Random random(seed);
        const int code = out != nullptr ? WriteNextDay(in, out, random) : 1;
        const bool ok = code == 0 && out != nullptr && !std::ferror(out);
        if (in != nullptr)
            std::fclose(in);
        if ((out != nullptr && std::fclose(out) != 0) || !ok)
        {
            std::fprintf(stderr, "make_zone: cannot make the next day of '%s' in '%s'\n", previousDay.c_str(),
                         output.c_str());
            return 1;
        }
        return 0;
    }
    if ((layout != "gtld" && layout != "se" && layout != "czds" && layout != "axfr") || output.empty())
        return Usage();

    std::FILE* file = std::fopen(output.c_str(), "wb");
    if (file == nullptr)
    {
        std::fprintf(stderr, "make_zone: cannot create '%s'\n", output.c_str());
        return 1;
    }
    Random random(seed);
    if (layout == "czds" || layout == "axfr")
    {
        BlockWriter writer(file, crlf);
        if (layout == "czds")
            WriteCzds(writer, random, lines);
        else
            WriteAxfr(writer, random, lines);
        writer.Flush();
    }
    else
    {
        Writer writer(file, crlf);
        LabelSource labels(random, unique);
        if (layout == "gtld")
            WriteGtld(writer, random, labels, lines);
        else
            WriteSe(writer, random, labels, lines);
    }
    const bool ok = !std::ferror(file);
    if (std::fclose(file) != 0 || !ok)
    {
        std::fprintf(stderr, "make_zone: cannot write '%s'\n", output.c_str());
        return 1;
    }
    return 0;
}
