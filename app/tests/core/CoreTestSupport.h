// A controller on the fakes with the shipped resources, and XDG_DATA_HOME in a
// temporary folder, so the SDK finds no host unless a test starts one (its
// calls then fail with "not initialised").
#pragma once

#include "FakePlatform.h"
#include "HalvorinKeshControl.h"
#include "TemporaryFolder.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kv::testing {

inline const std::filesystem::path shippedResources{KV_RESOURCE_DIR};

class CoreTest : public ::testing::Test {
protected:
    CoreTest() {
        setenv("XDG_DATA_HOME", dataFolder_.path().c_str(), 1);
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

    testsupport::TemporaryFolder dataFolder_;
    fakes::FakePlatform fakes;
    AppDelegate controller{fakes.platform()};
};

} // namespace kv::testing
