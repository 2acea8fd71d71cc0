// A controller after a first start with the default geometry (x 2, y 1,
// width 80), on the fake platform and its simulated clock.
#pragma once

#include "FakePlatform.h"
#include "shell/AppDelegate.h"

#include <gtest/gtest.h>

namespace kv::channel::testing {

class ControllerTest : public ::testing::Test {
protected:
    fakes::FakePlatform fake;
    AppDelegate controller{fake.platform()};

    void SetUp() override {
        fake.attach(controller);
        controller.loadCalibration();
        controller.myScanRect = Rect{2.0, 1.0, 80.0, 1.0};
        controller.computePixelOffsets();
    }
};

} // namespace kv::channel::testing
