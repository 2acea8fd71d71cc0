// Shared set-up for the core's tests: a temporary data folder (so the SDK never
// reaches a real host unless a test starts one), the fakes, and a controller
// wired to them the way the platform wires the real window.
#pragma once

#include "FakePlatform.h"
#include "HalvorinKeshControl.h"
#include "TemporaryFolder.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace kv::testing {

using kv::testsupport::TemporaryFolder;

// Points XDG_DATA_HOME somewhere for the life of the object.
class ScopedDataHome {
public:
    explicit ScopedDataHome(const std::filesystem::path& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            previous_ = old;
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~ScopedDataHome() {
        if (previous_)
            setenv("XDG_DATA_HOME", previous_->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

private:
    std::optional<std::string> previous_;
};

inline const std::filesystem::path shippedResources{KV_RESOURCE_DIR};

// A controller on fakes with the shipped resources, and an SDK that finds no
// host (its calls fail with "not initialised" unless a test connects it).
class CoreTest : public ::testing::Test {
protected:
    CoreTest() : dataHome_(dataFolder_.path()) {
        fakes.app.resourceFolder = shippedResources;
        fakes.attach(controller);
    }
    ~CoreTest() override { HalvKeshShutdown(); }

    // A resource folder of our own, for tests that remove or change a resource.
    std::filesystem::path copyResources() {
        const auto copy = dataFolder_.path() / "resources";
        std::filesystem::copy(shippedResources, copy, std::filesystem::copy_options::recursive);
        fakes.app.resourceFolder = copy;
        return copy;
    }

    const std::string& log() const { return fakes.log.text; }

    TemporaryFolder dataFolder_;
    ScopedDataHome dataHome_;

protected:
    fakes::FakePlatform fakes;
    AppDelegate controller{fakes.platform()};
};

} // namespace kv::testing
