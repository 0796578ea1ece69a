// make_zone: writes a synthetic zone file of either layout, the same bytes
// for the same arguments on every machine. Used by the benchmarks and to make
// the sample zones.
//
//   make_zone --layout gtld|se --lines N [--seed S] [--crlf] [--unique] OUTPUT
//
// --unique gives every domain one block of lines, as in a published zone;
// without it a short random name may come up again later in the file.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_set>

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

    int Usage()
    {
        std::fprintf(stderr, "usage: make_zone --layout gtld|se --lines N [--seed S] [--crlf] [--unique] OUTPUT\n");
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
        else if (!arg.starts_with("--") && output.empty())
            output = arg;
        else
            return Usage();
    }
    if ((layout != "gtld" && layout != "se") || output.empty())
        return Usage();

    std::FILE* file = std::fopen(output.c_str(), "wb");
    if (file == nullptr)
    {
        std::fprintf(stderr, "make_zone: cannot create '%s'\n", output.c_str());
        return 1;
    }
    Random random(seed);
    Writer writer(file, crlf);
    LabelSource labels(random, unique);
    if (layout == "gtld")
        WriteGtld(writer, random, labels, lines);
    else
        WriteSe(writer, random, labels, lines);
    const bool ok = !std::ferror(file);
    if (std::fclose(file) != 0 || !ok)
    {
        std::fprintf(stderr, "make_zone: cannot write '%s'\n", output.c_str());
        return 1;
    }
    return 0;
}
