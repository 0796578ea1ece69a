#include <gtest/gtest.h>

#include "zones/zone_summary.h"

namespace plexor
{
    namespace
    {
        ZoneRow Row(std::string file, ZoneResult result, std::string reason = {})
        {
            ZoneRow row;
            row.file = std::move(file);
            row.zone = "com";
            row.layout = "gtld";
            row.lines = 10;
            row.names = 4;
            row.seconds = 1.23456;
            row.result = result;
            row.reason = std::move(reason);
            return row;
        }
    }

    TEST(ZoneSummary, WritesOneTsvLineOfSevenFieldsPerZone)
    {
        ZoneRow notRead = Row("old/org.zone", ZoneResult::OnlyInOlderFolder);
        notRead.read = false;
        notRead.zone = "org";
        notRead.layout.clear();
        ZoneRow odd = Row("a\tb\nc.zone", ZoneResult::Failed, "line\r\nbreak");
        odd.seconds = 0;
        const std::vector<ZoneRow> rows = {
            Row("com.zone", ZoneResult::Ok),
            Row("net.zone", ZoneResult::LineLimit),
            Row("se.zone", ZoneResult::Failed, "No such file or directory"),
            Row("nu.zone", ZoneResult::NoOlderFile),
            Row("xyz.zone", ZoneResult::OlderFileFailed, "layout not recognised: the file is empty"),
            notRead,
            odd,
        };
        EXPECT_EQ(SummaryTsv(rows),
                  "file\tzone\tlayout\tlines\tnames\tseconds\tresult\n"
                  "com.zone\tcom\tgtld\t10\t4\t1.235\tok\n"
                  "net.zone\tcom\tgtld\t10\t4\t1.235\tline-limit\n"
                  "se.zone\tcom\tgtld\t10\t4\t1.235\tfailed: No such file or directory\n"
                  "nu.zone\tcom\tgtld\t10\t4\t1.235\tno older file\n"
                  "xyz.zone\tcom\tgtld\t10\t4\t1.235\tolder file failed: layout not recognised: the file is empty\n"
                  "old/org.zone\torg\t\t\t\t\tonly in the older folder\n"
                  "a b c.zone\tcom\tgtld\t10\t4\t0.000\tfailed: line  break\n");
        EXPECT_EQ(SummaryTsv({}), "file\tzone\tlayout\tlines\tnames\tseconds\tresult\n");
    }

    TEST(ZoneSummary, AlignsTheTableByCharactersAndTotalsIt)
    {
        ZoneRow wide = Row("\xC3\xA9t\xC3\xA9.zone", ZoneResult::Ok); // "été.zone": 8 characters, 10 bytes
        wide.lines = 1234567;
        ZoneRow notRead = Row("gone.zone", ZoneResult::Failed, "No such file or directory");
        notRead.read = false;
        const std::string table = SummaryTable({Row("com.zone", ZoneResult::LineLimit), wide, notRead});
        EXPECT_EQ(table,
                  "file       zone  layout    lines  names  seconds  result\n"
                  "com.zone   com   gtld         10      4    1.235  line-limit\n"
                  "\xC3\xA9t\xC3\xA9.zone   com   gtld    1234567      4    1.235  ok\n"
                  "gone.zone  com   gtld" + std::string(29, ' ') + "failed: No such file or directory\n"
                  "3 zones: 1234577 lines, 8 names, 2.469 seconds; 1 failed, 1 at the line limit\n");
    }

    TEST(ZoneSummary, ExitCodeFollowsTheWorstResult)
    {
        using R = ZoneResult;
        const std::pair<std::vector<R>, int> cases[] = {
            {{}, 0},
            {{R::Ok, R::NoOlderFile, R::OnlyInOlderFolder}, 0},
            {{R::Ok, R::LineLimit}, 3},
            {{R::LineLimit, R::Failed}, 1},
            {{R::OlderFileFailed, R::Ok}, 1},
            {{R::LineLimit, R::OlderFileFailed, R::LineLimit}, 1},
        };
        for (const auto& [results, code] : cases)
        {
            std::vector<ZoneRow> rows;
            for (const R result : results)
                rows.push_back(Row("z", result, "why"));
            EXPECT_EQ(SummaryExitCode(rows), code) << rows.size();
        }
    }
}
