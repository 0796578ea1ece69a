// Makes the picture of the count chart for the user guide: the main window
// on stand-in services counts a generated zone by provider with the sample
// provider map, and the chart's window, once shown, is written as a PNG.
// scripts/screenshot.sh runs it on a virtual X server.
//
// Usage: count_chart_picture PROVIDER_MAP OUTPUT.png

#include <cmath>
#include <cstdio>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include "control_ids.h"
#include "count_chart.h"
#include "fake_services.h"

using namespace plexor;
using namespace plexor::test;
namespace id = plexor::control_id;

namespace
{
    // A day's new domains of a large zone, in small: a few providers with
    // most of them, a long tail, one provider whose servers span two
    // registrable domains (joined by the map), and domains on their own
    // servers.
    QByteArray GeneratedZone()
    {
        const char* const providers[] = {"dnspark.com", "nameforge.org", "zonehub.net", "registrar-dns.com",
                                         "hostmaster.net", "parkingcrew.example", "cloudns.example", "webspace.de",
                                         "dnsmadeeasy.example", "bluehost.example", "gandi.example", "ovh.example"};
        QByteArray zone("$ORIGIN com.\n");
        int domain = 0;
        const auto add = [&](const QByteArray& server1, const QByteArray& server2) {
            const QByteArray name = "d" + QByteArray::number(domain++);
            zone += name + " NS " + server1 + ".\n" + name + " NS " + server2 + ".\n";
        };
        for (int rank = 1; rank <= 30; ++rank)
        {
            const int domains = static_cast<int>(2400.0 / std::pow(rank, 1.15));
            for (int i = 0; i < domains; ++i)
            {
                if (rank == 3)
                {
                    // ns-N.awsdns-NN.net and .org: one provider by the map.
                    add("ns-" + QByteArray::number(i % 2000) + ".awsdns-" + QByteArray::number(10 + i % 60) + ".net",
                        "ns-" + QByteArray::number(i % 1800) + ".awsdns-" + QByteArray::number(10 + i % 50) + ".org");
                    continue;
                }
                const int index = rank - 1 - (rank > 3 ? 1 : 0);
                const QByteArray provider = index < static_cast<int>(std::size(providers))
                                              ? QByteArray(providers[index])
                                              : "hosting-" + QByteArray::number(rank) + ".net";
                add("ns1." + provider, "ns2." + provider);
            }
        }
        // Domains that share two providers.
        for (int i = 0; i < 150; ++i)
            add("ns1." + QByteArray(providers[i % 3]), "ns2." + QByteArray(providers[3 + i % 4]));
        for (int i = 0; i < 180; ++i)
        {
            const QByteArray own = "own" + QByteArray::number(i) + ".com";
            add("ns1." + own, "ns2." + own);
        }
        return zone;
    }
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: count_chart_picture PROVIDER_MAP OUTPUT.png\n");
        return 2;
    }
    const QString mapPath = QString::fromLocal8Bit(argv[1]);
    const QString picturePath = QString::fromLocal8Bit(argv[2]);

    DialogFixture fixture;
    const QString zonePath = fixture.Path(QStringLiteral("com-new.zone"));
    if (!WriteFile(zonePath, GeneratedZone()))
        return 1;
    MainDialog& dialog = fixture.Open();
    fixture.files.answers.push_back(zonePath);
    Button(dialog, id::kOpenZoneButton)->click();
    Control<QComboBox>(dialog, id::kZoneTypeCombo)->setCurrentIndex(2);
    Control<QLineEdit>(dialog, id::kMinCharsEdit)->setText(QStringLiteral("1"));
    Control<QLineEdit>(dialog, id::kMaxCharsEdit)->setText(QStringLiteral("63"));
    Control<QLineEdit>(dialog, id::kExcludeCharsEdit)->clear();
    Control<QLineEdit>(dialog, id::kProviderMapEdit)->setText(mapPath);
    Control<QComboBox>(dialog, id::kCountByCombo)->setCurrentIndex(0);
    fixture.files.answers.push_back(fixture.Path(QStringLiteral("providers.txt")));
    Button(dialog, id::kCountServersButton)->click();

    int exitCode = 1;
    QTimer poll;
    int waited = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        CountChartDialog* chart = dialog.CountChartWindow();
        if (chart == nullptr || !chart->isVisible())
        {
            if (++waited > 600)
                app.quit();
            return;
        }
        // A moment for the window to be painted.
        if (++waited < 20)
            return;
        poll.stop();
        if (!fixture.messages.messages.empty())
            std::fprintf(stderr, "count_chart_picture: %s\n", qPrintable(fixture.messages.messages.front().text));
        else if (chart->grab().save(picturePath, "PNG"))
            exitCode = 0;
        app.quit();
    });
    poll.start(50);
    app.exec();
    return exitCode;
}
