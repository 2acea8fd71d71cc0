// The settings file with 500 options: parse and write against another JSON
// library on the same text in the same run, and one getter call on the file.
#include "BenchSummary.h"
#include "HalvorinKeshControl.h"
#include "settings/HalvSDKShared.h"
#include "settings/JSON.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kGroups = 10;
constexpr int kOptionsPerGroup = 50;

// A settings document as this SDK writes it: every kind of option, and labels.
std::string settingsText() {
    JSONValueList groups;
    for (int g = 0; g < kGroups; ++g) {
        JSONValueList options;
        for (int o = 0; o < kOptionsPerGroup; ++o) {
            JSONMemberMap option;
            option[L"key"] = new JSONValue(L"option" + std::to_wstring(o));
            option[L"label"] = new JSONValue(L"Option number " + std::to_wstring(o) + L" \u00E9");
            switch (o % 4) {
            case 0:
                option[L"type"] = new JSONValue(L"number");
                option[L"value"] = new JSONValue(o * 1.25);
                break;
            case 1:
                option[L"type"] = new JSONValue(L"bool");
                option[L"value"] = new JSONValue(o % 3 == 0);
                break;
            case 2: {
                option[L"type"] = new JSONValue(L"color");
                JSONMemberMap color;
                color[L"red"] = new JSONValue(255.0);
                color[L"green"] = new JSONValue(static_cast<double>(o));
                color[L"blue"] = new JSONValue(0.0);
                option[L"value"] = new JSONValue(color);
                break;
            }
            default:
                option[L"type"] = new JSONValue(L"keyinput");
                option[L"value"] = new JSONValue(L"Ctrl+Shift+F" + std::to_wstring(o % 12));
            }
            options.push_back(new JSONValue(option));
        }
        JSONMemberMap group;
        group[L"key"] = new JSONValue(L"group" + std::to_wstring(g));
        group[L"type"] = new JSONValue(L"group");
        group[L"value"] = new JSONValue(options);
        groups.push_back(new JSONValue(group));
    }
    JSONMemberMap node;
    node[L"kesh"] = new JSONValue(groups);
    JSONMemberMap root;
    root[L"applet_settings"] = new JSONValue(node);
    const JSONValue document(root);
    const std::wstring wide = JSON::Stringify(&document);
    return std::string(wide.begin(), wide.end());
}

// What the settings file gets: the writer's bytes.
std::string writeBytes(const JSONValue* document) {
    return JSON::StringifyBytes(document);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reports our time per iteration, the reference's, and our speed relative to
// the reference (reference time / our time: 1 or more is at least as fast).
void reportAgainstReference(benchmark::State& state, double ours, double reference) {
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = ours / n * 1e6;
    state.counters["nlohmann_us"] = reference / n * 1e6;
    state.counters["ratio"] = reference / ours;
}

void ParseSettings500(benchmark::State& state) {
    const std::string text = settingsText();
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::unique_ptr<JSONValue> parsed(JSON::Parse(text.c_str()));
        benchmark::DoNotOptimize(parsed.get());
        const double ourTime = secondsSince(start);
        start = std::chrono::steady_clock::now();
        nlohmann::json other = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(other);
        const double referenceTime = secondsSince(start);
        state.SetIterationTime(ourTime);
        ours += ourTime;
        reference += referenceTime;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    reportAgainstReference(state, ours, reference);
}
BENCHMARK(ParseSettings500)->UseManualTime()->Unit(benchmark::kMicrosecond);

void WriteSettings500(benchmark::State& state) {
    const std::string text = settingsText();
    const std::unique_ptr<JSONValue> document(JSON::Parse(text.c_str()));
    const nlohmann::json other = nlohmann::json::parse(text);
    double ours = 0, reference = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::string bytes = writeBytes(document.get());
        benchmark::DoNotOptimize(bytes);
        const double ourTime = secondsSince(start);
        start = std::chrono::steady_clock::now();
        std::string otherBytes = other.dump(2);
        benchmark::DoNotOptimize(otherBytes);
        const double referenceTime = secondsSince(start);
        state.SetIterationTime(ourTime);
        ours += ourTime;
        reference += referenceTime;
    }
    reportAgainstReference(state, ours, reference);
}
BENCHMARK(WriteSettings500)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One getter call on the 500-option file: read, parse, look up; nothing is
// added, so nothing is written.
void GetterCallOnSettings500(benchmark::State& state) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/halv-bench-XXXXXX";
    if (mkdtemp(base.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    CFStringRef baseText =
        CFStringCreateWithCString(kCFAllocatorDefault, base.c_str(), kCFStringEncodingUTF8);
    HalvSetConfigFilePath(baseText);
    CFRelease(baseText);
    const std::filesystem::path file = configFileFullPath();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << settingsText();

    for (auto _ : state) {
        double value = 0;
        const bool found = HalvKeshGetConfigOptionNumber(L"group9/option48", &value);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(value);
    }
    HalvSetConfigFilePath(nullptr);
    std::filesystem::remove_all(base);
}
BENCHMARK(GetterCallOnSettings500)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    defineFigure({"parse 500 options", "ParseSettings500/manual_time", "ratio", "x nlohmann's speed",
                  Goal::AtLeast, 1.0});
    defineFigure({"write 500 options", "WriteSettings500/manual_time", "ratio", "x nlohmann's speed",
                  Goal::AtLeast, 1.0});
    defineFigure(
        {"one getter call on 500 options", "GetterCallOnSettings500", "real_time", "us", Goal::ReportOnly});
    return runBenchmarksAndSummarise(argc, argv, "json_bench");
}
