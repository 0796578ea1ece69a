#include "output/entry_rows.h"


namespace plexor
{
    namespace
    {
        // The length of the well-formed UTF-8 sequence at text[i] (2 to 4
        // bytes: no overlong form, no surrogate, nothing above U+10FFFF), or 0.
        std::size_t Utf8SequenceAt(std::string_view text, std::size_t i)
        {
            const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
            const auto continuation = [&](std::size_t k) { return i + k < text.size() && (byte(k) & 0xC0) == 0x80; };
            const unsigned char lead = byte(0);
            if (lead >= 0xC2 && lead <= 0xDF)
                return continuation(1) ? 2 : 0;
            if (lead >= 0xE0 && lead <= 0xEF)
            {
                if (!continuation(1) || !continuation(2))
                    return 0;
                const unsigned char second = byte(1);
                if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F))
                    return 0;
                return 3;
            }
            if (lead >= 0xF0 && lead <= 0xF4)
            {
                if (!continuation(1) || !continuation(2) || !continuation(3))
                    return 0;
                const unsigned char second = byte(1);
                if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
                    return 0;
                return 4;
            }
            return 0;
        }

        void AppendHexEscape(unsigned char byte, std::string& out)
        {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }

        // The servers of an append-mode entry, comma-separated, as a JSON
        // array.
        void AppendJsonServers(std::string_view servers, std::string& out)
        {
            out += '[';
            for (std::size_t at = 0; at < servers.size();)
            {
                std::size_t comma = servers.find(',', at);
                if (comma == std::string_view::npos)
                    comma = servers.size();
                if (at != 0)
                    out += ',';
                AppendJsonString(servers.substr(at, comma - at), out);
                at = comma + 1;
            }
            out += ']';
        }

        void AppendJsonOptional(std::string_view text, std::string& out)
        {
            if (text.empty())
                out += "null";
            else
                AppendJsonString(text, out);
        }

        void AppendTsvRow(const EntryColumns& columns, const EntryFields& fields, std::string& out)
        {
            AppendTsvField(fields.name, out);
            out += '\t';
            AppendTsvField(fields.servers, out);
            out += '\t';
            AppendTsvField(fields.unicode, out);
            if (columns.lookalike)
            {
                out += '\t';
                AppendTsvField(fields.term, out);
                out += '\t';
                AppendTsvField(fields.kind, out);
                out += '\t';
                out += std::to_string(fields.distance);
            }
            if (columns.zone)
            {
                out += '\t';
                AppendTsvField(fields.zone, out);
            }
            out += '\n';
        }

        void AppendJsonRow(const EntryColumns& columns, const EntryFields& fields, std::string& out)
        {
            out += "{\"name\":";
            AppendJsonString(fields.name, out);
            out += ",\"servers\":";
            AppendJsonServers(fields.servers, out);
            out += ",\"unicode\":";
            AppendJsonOptional(fields.unicode, out);
            if (columns.lookalike)
            {
                out += ",\"term\":";
                AppendJsonOptional(fields.term, out);
                out += ",\"kind\":";
                AppendJsonOptional(fields.kind, out);
                out += ",\"distance\":";
                out += std::to_string(fields.distance);
            }
            if (columns.zone)
            {
                out += ",\"zone\":";
                AppendJsonString(fields.zone, out);
            }
            out += "}\n";
        }
    }

    std::optional<OutputForm> ParseOutputForm(std::string_view text)
    {
        if (text == "list")
            return OutputForm::List;
        if (text == "tsv")
            return OutputForm::Tsv;
        if (text == "jsonl")
            return OutputForm::Jsonl;
        return std::nullopt;
    }

    const char* OutputFormName(OutputForm form)
    {
        switch (form)
        {
        case OutputForm::Tsv:
            return "tsv";
        case OutputForm::Jsonl:
            return "jsonl";
        case OutputForm::List:
            break;
        }
        return "list";
    }

    void AppendTableHeader(OutputForm form, const EntryColumns& columns, std::string& out)
    {
        if (form != OutputForm::Tsv)
            return;
        out += "name\tservers\tunicode";
        if (columns.lookalike)
            out += "\tterm\tkind\tdistance";
        if (columns.zone)
            out += "\tzone";
        out += '\n';
    }

    void AppendEntryRow(OutputForm form, const EntryColumns& columns, const EntryFields& fields, std::string& out)
    {
        if (form == OutputForm::Tsv)
            AppendTsvRow(columns, fields, out);
        else if (form == OutputForm::Jsonl)
            AppendJsonRow(columns, fields, out);
    }

    void AppendTsvField(std::string_view text, std::string& out)
    {
        for (const char c : text)
        {
            switch (c)
            {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
            }
        }
    }

    void AppendJsonString(std::string_view text, std::string& out)
    {
        out += '"';
        for (std::size_t i = 0; i < text.size();)
        {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (byte >= 0x80)
            {
                const std::size_t length = Utf8SequenceAt(text, i);
                if (length == 0)
                {
                    AppendHexEscape(byte, out);
                    ++i;
                }
                else
                {
                    out.append(text.substr(i, length));
                    i += length;
                }
                continue;
            }
            switch (byte)
            {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20)
                    AppendHexEscape(byte, out);
                else
                    out += static_cast<char>(byte);
            }
            ++i;
        }
        out += '"';
    }
}
