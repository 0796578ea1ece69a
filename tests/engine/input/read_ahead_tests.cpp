#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/byte_sources.h"
#include "input/chunk_scan.h"
#include "input/read_ahead.h"

using namespace plexor;

namespace
{
    // Hands out whole chunks, each only once the test lets it: the test
    // knows which chunks the reading thread has read when.
    class GatedChunks final : public ByteSource
    {
    public:
        explicit GatedChunks(std::vector<std::string> chunks)
            : m_chunks(std::move(chunks))
        {
        }

        std::ptrdiff_t Read(char* buffer, std::size_t size) override
        {
            std::unique_lock lock(m_mutex);
            if (m_offset == 0)
            {
                m_waitingAt = m_next;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_next < m_allowed; });
            }
            if (m_next >= m_chunks.size())
                return 0;
            const std::string& chunk = m_chunks[m_next];
            const std::size_t n = std::min(size, chunk.size() - m_offset);
            chunk.copy(buffer, n, m_offset);
            m_offset += n;
            if (m_offset == chunk.size())
            {
                m_offset = 0;
                ++m_next;
            }
            return static_cast<std::ptrdiff_t>(n);
        }

        std::error_code Error() const override { return {}; }

        // Lets the reads of chunks up to `count` (or the end) go ahead.
        void Allow(std::size_t count)
        {
            std::lock_guard lock(m_mutex);
            m_allowed = count;
            m_changed.notify_all();
        }
        // Waits until the reading thread waits to read chunk `index`.
        void AwaitWaitingAt(std::size_t index)
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_waitingAt == index; });
        }

    private:
        std::vector<std::string> m_chunks;
        std::mutex m_mutex;
        std::condition_variable m_changed;
        std::size_t m_next = 0;
        std::size_t m_offset = 0;
        std::size_t m_allowed = 0;
        std::size_t m_waitingAt = static_cast<std::size_t>(-1);
    };

    struct SeenChunk final : ChunkFindings
    {
        bool found = false;
        char first = 0;
        bool dotBefore = false;

    protected:
        void ClearFound() override { found = false; }
    };

    // Notes what it was told of each chunk.
    class NotingScan final : public ChunkScan
    {
    public:
        void Prepare(std::unique_ptr<ChunkFindings>& findings) const override
        {
            if (dynamic_cast<SeenChunk*>(findings.get()) == nullptr)
                findings = std::make_unique<SeenChunk>();
        }
        void FindAhead(const ChunkBytes& bytes, LineEndIndex& lineEnds, ChunkFindings& findings,
                       ReaderLoad&) const override
        {
            lineEnds.Add(bytes.buffer, bytes.from, bytes.to);
            auto& seen = static_cast<SeenChunk&>(findings);
            seen.found = true;
            seen.first = bytes.buffer[bytes.from];
            seen.dotBefore = bytes.dotBefore;
        }
        void FindOnReader(const ChunkBytes&, bool, const ChunkFindings&, LineEndIndex&, ChunkFindings&) const override
        {
        }
    };

    // Chunk k: lines of the letter 'a' + k, its last byte a dot.
    std::vector<std::string> DottedChunks(std::size_t count)
    {
        std::vector<std::string> chunks;
        for (std::size_t k = 0; k < count; ++k)
        {
            std::string chunk(ReadAhead::kChunkSize, static_cast<char>('a' + k));
            for (std::size_t i = 99; i < chunk.size(); i += 100)
                chunk[i] = '\n';
            chunk.back() = '.';
            chunks.push_back(chunk);
        }
        return chunks;
    }

    // A chunk the reading thread scans follows one it read before it was
    // asked to scan: the scan still learns whether a dot came just before
    // (a ".." across the two chunks is no plain master-file text), and the
    // findings come with their own chunk.
    TEST(ReadAhead, AScanLearnsTheDotBeforeAChunkReadBeforeItWasAskedFor)
    {
        constexpr std::size_t kChunks = 5;
        auto source = std::make_unique<GatedChunks>(DottedChunks(kChunks));
        GatedChunks& gate = *source;
        ReadAhead readAhead(std::move(source));
        static const NotingScan scan;

        gate.Allow(2); // chunks 0 and 1, with no scan asked for
        gate.AwaitWaitingAt(2);
        readAhead.FindChunkFindings(&scan);
        gate.Allow(3); // chunk 2, read while 0 and 1 wait: scanned
        gate.AwaitWaitingAt(3);
        gate.Allow(kChunks + 1);

        std::size_t scanned = 0;
        for (std::size_t k = 0;; ++k)
        {
            ByteBuffer buffer;
            ReadAhead::Findings findings;
            const std::ptrdiff_t got = readAhead.Next(buffer, findings);
            ASSERT_GE(got, 0);
            if (got == 0)
            {
                EXPECT_EQ(k, kChunks);
                break;
            }
            const auto* seen = dynamic_cast<const SeenChunk*>(findings.layout.get());
            if (seen != nullptr && seen->found)
            {
                ++scanned;
                EXPECT_GE(k, 2u) << "scanned before the scan was asked for";
                EXPECT_EQ(seen->first, buffer[ReadAhead::kHeadroom]) << "chunk " << k;
                EXPECT_TRUE(seen->dotBefore) << "chunk " << k;
                EXPECT_EQ(findings.lineEnds.size(), ReadAhead::kChunkSize / 100) << "chunk " << k;
            }
            readAhead.Recycle(std::move(buffer), std::move(findings));
        }
        EXPECT_GE(scanned, 1u);
    }
}
