#include "run/headless_run.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "layouts/layout_hint.h"
#include "extraction/run_messages.h"

namespace plexor
{
    namespace
    {
#ifdef _WIN32
        // A file on disk as Windows tells one from another: its volume and
        // its id there. Not known for anything else (a console, a pipe, NUL).
        struct FileIdentity
        {
            bool known = false;
            ULONGLONG volume = 0;
            FILE_ID_128 id {};
        };

        bool SameFile(const FileIdentity& a, const FileIdentity& b)
        {
            // Wine gives a standard handle it inherited from the Unix side
            // volume 0; the id alone then decides.
            return a.known && b.known && (a.volume == b.volume || a.volume == 0 || b.volume == 0)
                   && std::memcmp(&a.id, &b.id, sizeof a.id) == 0;
        }

        FileIdentity IdentityOf(HANDLE handle)
        {
            FileIdentity identity;
            if (handle == INVALID_HANDLE_VALUE || handle == nullptr || GetFileType(handle) != FILE_TYPE_DISK)
                return identity;
            // The 128-bit id (Windows 8 on, and the only unique one on ReFS);
            // before that the 64-bit index.
            FILE_ID_INFO idInfo {};
            BY_HANDLE_FILE_INFORMATION information {};
            if (GetFileInformationByHandleEx(handle, FileIdInfo, &idInfo, sizeof idInfo))
            {
                identity = {true, idInfo.VolumeSerialNumber, idInfo.FileId};
            }
            else if (GetFileInformationByHandle(handle, &information))
            {
                identity.known = true;
                identity.volume = information.dwVolumeSerialNumber;
                const std::uint64_t index =
                    (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
                std::memcpy(identity.id.Identifier, &index, sizeof index);
            }
            return identity;
        }

        FileIdentity IdentityOfStream(int fd)
        {
            return IdentityOf(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
        }

        FileIdentity IdentityOfPath(const std::filesystem::path& path)
        {
            // No access asked for, and every sharing allowed: only looks.
            const HANDLE handle =
                CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            if (handle == INVALID_HANDLE_VALUE)
                return {};
            const FileIdentity identity = IdentityOf(handle);
            CloseHandle(handle);
            return identity;
        }
#endif

        // Whether writing the output would overwrite the zone file: the same
        // file reached by two paths (links included), or a regular file
        // behind standard input or output that is also the other side.
        bool OutputIsZoneFile(const std::filesystem::path& zonePath, bool zoneFromStandardInput,
                              const std::filesystem::path& outputPath, const HeadlessRunOptions& options)
        {
            if (!zoneFromStandardInput && !options.outputToStandardOutput)
            {
                std::error_code error;
                return std::filesystem::equivalent(zonePath, outputPath, error);
            }
#ifdef _WIN32
            const FileIdentity zone = options.zoneFromStandardInput ? IdentityOfStream(0) : IdentityOfPath(zonePath);
            const FileIdentity output =
                options.outputToStandardOutput ? IdentityOfStream(1) : IdentityOfPath(outputPath);
            return SameFile(zone, output);
#else
            struct stat zone {};
            struct stat output {};
            const int zoneResult = zoneFromStandardInput ? ::fstat(STDIN_FILENO, &zone) : ::stat(zonePath.c_str(), &zone);
            const int outputResult = options.outputToStandardOutput ? ::fstat(STDOUT_FILENO, &output)
                                                                     : ::stat(outputPath.c_str(), &output);
            // Only regular files: a terminal or /dev/null may well be both.
            return zoneResult == 0 && outputResult == 0 && S_ISREG(zone.st_mode) && S_ISREG(output.st_mode)
                   && zone.st_dev == output.st_dev && zone.st_ino == output.st_ino;
#endif
        }
    }

    HeadlessRunContext::HeadlessRunContext(ExtractMode mode, std::int32_t zoneType, LineEnd lineEnd,
                                           Inflater inflater)
        : zoneFile(inflater)
        , m_mode(mode)
        , m_zoneType(zoneType)
        , m_lineEnd(lineEnd)
    {
    }

    void HeadlessRunContext::ReportRunFailure(const std::string& message)
    {
        m_failure = message;
        ++m_failureReports;
    }

    void HeadlessRunContext::SetFinalStatusText(const std::string& text)
    {
        m_statusText = text;
    }

    void HeadlessRunContext::ClearWorkerReference()
    {
        std::lock_guard<std::mutex> lock(m_endMutex);
        m_workerActive.store(false);
        m_ended.notify_all();
    }

    bool HeadlessRunContext::WaitForEnd(std::chrono::milliseconds limit)
    {
        std::unique_lock<std::mutex> lock(m_endMutex);
        return m_ended.wait_for(lock, limit, [this] { return !m_workerActive.load(); });
    }

    HeadlessRunResult RunHeadless(const std::filesystem::path& zonePath, const std::filesystem::path& outputPath,
                                  ExtractMode mode, std::int32_t zoneType, const RunFilters& filters,
                                  const HeadlessRunOptions& options)
    {
        const bool comparison = options.changes != ZoneChanges::None;
        if (comparison && options.comparisonBody == nullptr)
            throw std::invalid_argument("RunHeadless: a comparison needs its run body");
        HeadlessRunResult result;
        HeadlessRunContext context(mode, zoneType, options.lineEnd);
        // The context's run is this thread's too while the run lasts: the
        // setup, a watch that asks it to stop, and the results read here.
        const EngineRunScope scope(context.Run());
        RunState& state = context.Run().state;
        context.changes = options.changes;
        context.form = options.form;
        context.entrySink = options.entrySink;
        const bool zoneOpen =
            options.zoneFromStandardInput ? context.zoneFile.OpenStandardInput() : context.zoneFile.Open(zonePath);
        if (!zoneOpen)
        {
            result.error = UnableToOpenMessage(context.zoneFile.DisplayPath(), SystemReason(context.zoneFile.Error()));
            return result;
        }
        if (comparison && !context.olderZoneFile.Open(options.olderZonePath))
        {
            result.error = UnableToOpenMessage(context.olderZoneFile.DisplayPath(),
                                               SystemReason(context.olderZoneFile.Error()));
            context.zoneFile.Close();
            return result;
        }
        // Creating the output truncates it: never when it is a zone file of
        // the run, also reached through a link or a standard stream.
        if (options.outputSink != nullptr)
            context.outputFile.CreateForSink(*options.outputSink, options.outputSinkName);
        const std::string outputName =
            options.outputToStandardOutput ? std::string(OutputWriter::kStandardOutputName) : PathText(outputPath);
        result.outputIsZoneFile =
            options.outputSink == nullptr
            && (OutputIsZoneFile(zonePath, options.zoneFromStandardInput, outputPath, options)
                || (comparison && OutputIsZoneFile(options.olderZonePath, false, outputPath, options)));
        bool outputOpen = options.outputSink != nullptr;
        if (!outputOpen && !result.outputIsZoneFile)
            outputOpen = options.outputToStandardOutput ? context.outputFile.OpenStandardOutput()
                                                        : context.outputFile.Create(outputPath);
        if (result.outputIsZoneFile || !outputOpen)
        {
            const std::string reason = result.outputIsZoneFile ? std::string(kOutputIsZoneFileReason)
                                                               : SystemReason(context.outputFile.Error());
            result.error = UnableToOpenMessage(outputName, reason);
            context.zoneFile.Close();
            context.olderZoneFile.Close();
            return result;
        }

        PrepareRun(filters);
        context.Run().settings.zoneColumn = options.zoneColumn;
        context.Run().settings.tableHeader = options.tableHeader;
        context.SetWorkerReference();
        std::thread worker(RunWithBody, &context, comparison ? options.comparisonBody : &ExtractZone);
        if (options.watch)
        {
            // The counters are atomics the worker keeps; the raw sizes were
            // fixed when the files were opened.
            const ZoneLineReader* older = comparison ? &context.olderZoneFile : nullptr;
            do
            {
                HeadlessRunProgress progress;
                const RunBytes bytes = ReadProgress(context.zoneFile, older);
                progress.rawBytesRead = bytes.read;
                progress.rawSize = bytes.size;
                progress.linesRead = state.linesRead.load(std::memory_order_relaxed);
                progress.namesExtracted = state.namesExtracted.load(std::memory_order_relaxed);
                options.watch(progress);
            } while (!context.WaitForEnd(options.watchInterval));
        }
        worker.join();

        result.error = context.Failure();
        result.statusText = context.FinalStatusText();
        result.linesRead = state.linesRead.load();
        result.namesExtracted = state.namesExtracted.load();
        result.stoppedAtLineLimit = state.stoppedAtLineLimit.load();
        result.unreadableRecords = state.unreadableRecords.load();
        result.comparisonAborted = state.comparisonAborted.load();
        const std::uint64_t lineLimit = context.Run().settings.lineLimit;
        result.stopped = !result.error && state.abortRequested.load()
                         && !(lineLimit != 0 && result.linesRead >= lineLimit);
        // A comparison that writes nothing is often right; only when neither
        // list held a name is the layout in question.
        const bool nothingFound =
            state.namesExtracted.load() == 0 && (!comparison || state.comparedEntries.load() == 0);
        if (!result.error && nothingFound && !options.zoneFromStandardInput)
            result.layoutHint = LayoutHintForFile(zonePath, zoneType);
        return result;
    }
}
