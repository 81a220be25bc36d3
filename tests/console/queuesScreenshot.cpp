// Shows the console's Queues tab over two recordings of the test PBX, replayed block by block
// through the client's own reader, and saves a picture of the window: the README's screenshot.
//   queuesScreenshot OUT.png
#include "../unit/QueuesTestSupport.h"
#include "ConsoleWindow.h"
#include "QueuesView.h"

#include <QApplication>
#include <QFile>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <cstdio>

namespace {

// A recording's queue blocks, from its first through the first of `stop` (or to its end).
struct Recording
{
    std::chrono::steady_clock::time_point clock{};
    std::chrono::seconds elapsed{0};
    std::int64_t wall = 0;
    corvale::Queues queues{[this] { return clock; },
                           [this] {
                               return std::chrono::system_clock::time_point(
                                   std::chrono::seconds(wall) + elapsed);
                           }};
    corvale::QueueBlock reader;

    bool replay(const QString& path, std::string_view stop, int stopAt = 1)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        int seen = 0;
        for (const Fields& block : blocksOf(std::string_view(bytes.data(), bytes.size()))) {
            const auto& [key, value] = block.front();
            if (key == "Response") {
                for (const auto& [field, text] : block)
                    if (field == "Message" && text == "Queue status will follow")
                        queues.listingStarted(corvale::QueueListing::Status);
                    else if (field == "Message" && text == "Queue summary will follow")
                        queues.listingStarted(corvale::QueueListing::Summary);
                continue;
            }
            if (key != "Event")
                continue;
            feed(reader, queues, block, true);
            if (value == stop && ++seen == stopAt)
                return true;
        }
        return true;
    }
    void pass(std::chrono::seconds seconds)
    {
        clock += seconds;
        elapsed += seconds;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: queuesScreenshot OUT.png\n");
        return 2;
    }
    const QString fixtures = QStringLiteral(CORVALE_FIXTURES_DIR);
    // 23: three callers wait while every member is paused; 24: a caller gave up, and Anna,
    // unpaused, has answered the other.
    Recording waiting;
    waiting.wall = 1796857119;
    Recording answered;
    answered.wall = 1796857148;
    if (!waiting.replay(fixtures + "/23_queue_status.recv.bin", "QueueStatusComplete", 2) ||
        !answered.replay(fixtures + "/24_events_queue_lifecycle.recv.bin", "AgentConnect"))
        return 1;
    // Half a minute on: the callers in sales have waited past its service level.
    waiting.pass(std::chrono::seconds(31));

    ConsoleWindow window;
    window.queues()->notify = [](const QString&, const QString&) {};
    window.addQueues(1, waiting.queues, QStringLiteral("recording 23"));
    window.addQueues(2, answered.queues, QStringLiteral("recording 24"));
    window.views()->setCurrentWidget(window.queues());
    window.resize(1270, 420);
    window.show();
    window.queues()->tree()->expandAll();
    window.queues()->tick();
    QTimer::singleShot(300, &window, [&window, out = QString::fromLocal8Bit(argv[1])] {
        QApplication::exit(window.grab().save(out) ? 0 : 1);
    });
    return QApplication::exec();
}
