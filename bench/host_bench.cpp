// The companion host: a class edit over 8,000 elements against one scan of
// the same page for its tags, and the host's resident memory once applets
// have sent it their pages and edits, against the bytes they sent.
//
// The memory figures run a kesh-host program: the one built here, or the one
// named by KESH_HOST_PROGRAM (to measure another version the same way).
#include "BenchSummary.h"
#include "ChildProcess.h"
#include "PageEditor.h"
#include "TemporaryFolder.h"
#include "WireApplet.h"

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A page of `rows` elements of class "c", each with an id and some text.
std::string classPage(int rows) {
    std::string page = "<!DOCTYPE html><html><head><title>rows</title></head><body>\n";
    for (int i = 0; i < rows; ++i) {
        page += "<div class=\"row c\" id=\"r" + std::to_string(i) + "\"><span>" + std::to_string(i * 7) +
                "</span> <b title=\"t\">row</b></div>\n";
    }
    return page + "</body></html>\n";
}

// The reference: one pass over the page that finds every tag.
std::size_t countTags(const std::string& page) {
    std::size_t tags = 0;
    for (const char* p = page.data();
         (p = static_cast<const char*>(std::memchr(p, '<', page.size() - std::size_t(p - page.data())))) !=
         nullptr;
         ++p) {
        ++tags;
    }
    return tags;
}

void ClassEditOver8000Elements(benchmark::State& state) {
    const std::string page = classPage(8000);
    double ours = 0;
    double reference = 0;
    for (auto _ : state) {
        std::string html = page;
        auto start = Clock::now();
        const int changed = kesh::host::setTagProperty(html, {"c", true}, "data-state", "lit");
        const double ourTime = secondsSince(start);
        start = Clock::now();
        benchmark::DoNotOptimize(countTags(page));
        reference += secondsSince(start);
        if (changed != 8000) {
            state.SkipWithError("the edit did not reach every element");
            return;
        }
        state.SetIterationTime(ourTime);
        ours += ourTime;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["edit_ms"] = ours / n * 1e3;
    state.counters["scan_ms"] = reference / n * 1e3;
    state.counters["scans_per_edit"] = ours / reference;
}
BENCHMARK(ClassEditOver8000Elements)->UseManualTime()->Unit(benchmark::kMillisecond);

// A kesh-host in a fresh temporary folder; its output goes to a file there.
class HostProcess {
public:
    HostProcess() {
        const char* program = std::getenv("KESH_HOST_PROGRAM");
        std::vector<std::string> args = {program ? program : KESH_HOST_PROGRAM,
                                         "--http",
                                         "127.0.0.1:0",
                                         "--socket",
                                         socket(),
                                         "--data",
                                         home() + "/data",
                                         "--keepalive",
                                         "0",
                                         "--state",
                                         home() + "/state"};
        // A host from before the state folder existed takes no --state.
        if (!start(args)) {
            args.resize(args.size() - 2);
            start(args);
        }
    }
    ~HostProcess() {
        if (host_) {
            host_->stop(SIGTERM);
        }
    }
    bool ready() const { return port_ > 0; }
    std::string socket() const { return home() + "/sock"; }

    // Resident memory in MiB, from the kernel's account of the process.
    double residentMiB() const {
        std::ifstream status("/proc/" + std::to_string(host_->pid()) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) {
                return std::stod(line.substr(6)) / 1024.0;
            }
        }
        return 0;
    }

    // Waits until `count` applets are listed and none is connected any more:
    // everything they sent has then been taken in.
    bool settled(std::size_t count) const {
        httplib::Client client("127.0.0.1", port_);
        return kesh::test::waitUntil(
            [&] {
                auto answer = client.Get("/state", {{"Cookie", "kesh_token=" + token_}});
                const auto state = nlohmann::json::parse(answer ? answer->body : "", nullptr, false);
                return state.is_object() && state["applets"].size() == count &&
                       std::all_of(state["applets"].begin(), state["applets"].end(),
                                   [](const nlohmann::json& a) { return a["connections"] == 0; });
            },
            std::chrono::seconds(120));
    }

private:
    std::string home() const { return folder_.path().string(); }

    // Starts the host and reads its port and token from the line that
    // announces the display; false when it ends without one.
    bool start(const std::vector<std::string>& args) {
        const std::string output = home() + "/output";
        host_ = std::make_unique<kesh::test::ChildProcess>(
            args, kesh::test::ChildProcess::Options{{}, output, {}, {}});
        const std::string prefix = "Companion display at http://127.0.0.1:";
        const bool announced = kesh::test::waitUntil(
            [&] {
                std::ifstream in(output);
                for (std::string line; std::getline(in, line);) {
                    if (line.starts_with(prefix)) {
                        port_ = std::stoi(line.substr(prefix.size()));
                        const auto token = line.find("?token=");
                        token_ = token == std::string::npos ? "" : line.substr(token + 7);
                        return true;
                    }
                }
                return host_->wait(std::chrono::milliseconds(0)).has_value();
            },
            std::chrono::seconds(20));
        return announced && port_ > 0;
    }

    kv::testsupport::TemporaryFolder folder_;
    std::unique_ptr<kesh::test::ChildProcess> host_;
    int port_ = 0;
    std::string token_;
};

// `applets` applets each show a page and edit one element of it `edits`
// times, then leave; the host's resident memory afterwards, against what
// they sent and against the host at rest.
void measureHostMemory(benchmark::State& state, int applets, std::size_t pageBytes, int edits,
                       std::size_t editBytes) {
    for (auto _ : state) {
        HostProcess host;
        if (!host.ready()) {
            state.SkipWithError("the host did not start");
            return;
        }
        const double atRest = host.residentMiB();
        const std::string page = "<div id=\"live\">x</div>" + std::string(pageBytes, 'p');
        const std::string text(editBytes, 'e');
        for (int i = 0; i < applets; ++i) {
            kesh::test::WireApplet applet(host.socket());
            applet.registration("bench.applet" + std::to_string(i), "Bench");
            applet.content("page.html", page);
            applet.index("page.html");
            for (int e = 0; e < edits; ++e) {
                applet.tagContent(false, "live", text + std::to_string(e));
            }
        }
        if (!host.settled(std::size_t(applets))) {
            state.SkipWithError("the host did not take everything in");
            return;
        }
        const double sent = applets * double(pageBytes + std::size_t(edits) * editBytes) / (1024.0 * 1024.0);
        state.counters["resident_MiB"] = host.residentMiB();
        state.counters["at_rest_MiB"] = atRest;
        state.counters["sent_MiB"] = sent;
        state.counters["kept_per_sent"] = (host.residentMiB() - atRest) / sent;
    }
}

void HostMemoryAfter100AppletsSent1MB(benchmark::State& state) {
    measureHostMemory(state, 100, 512 * 1024, 8, 64 * 1024);
}
BENCHMARK(HostMemoryAfter100AppletsSent1MB)->Iterations(1)->Unit(benchmark::kMillisecond);

void HostMemoryAfterTenEditsOf8MB(benchmark::State& state) {
    measureHostMemory(state, 1, 1024, 10, 8 * 1024 * 1024);
}
BENCHMARK(HostMemoryAfterTenEditsOf8MB)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    defineFigure({"class edit over 8,000 elements", "ClassEditOver8000Elements/manual_time", "edit_ms", "ms",
                  Goal::AtMost, 50.0});
    defineFigure({"class edit against one scan of the page", "ClassEditOver8000Elements/manual_time",
                  "scans_per_edit", "scans", Goal::ReportOnly});
    defineFigure({"host memory after 100 applets sent 1 MB each",
                  "HostMemoryAfter100AppletsSent1MB/iterations:1", "resident_MiB", "MiB", Goal::ReportOnly});
    defineFigure({"kept of what 100 applets sent", "HostMemoryAfter100AppletsSent1MB/iterations:1",
                  "kept_per_sent", "MiB per MiB", Goal::AtMost, 0.75});
    defineFigure({"host memory after ten edits of 8 MB", "HostMemoryAfterTenEditsOf8MB/iterations:1",
                  "resident_MiB", "MiB", Goal::ReportOnly});
    return runBenchmarksAndSummarise(argc, argv, "host_bench");
}
