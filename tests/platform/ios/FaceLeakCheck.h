#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>

#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/runtime.h"

// The stand-in's count of live objects: declared here, since the face has none.
extern "C" size_t objc_liveObjectCount();

namespace facetest {

/// Runs `work` twice, each time in a pool of its own: the first run makes what
/// lives on (interned strings, the file manager), the second must leave no
/// object behind.
inline void expectNoLeak(const std::function<void()>& work) {
  {
    AutoreleasePool pool;
    work();
  }
  size_t before = objc_liveObjectCount();
  {
    AutoreleasePool pool;
    work();
  }
  EXPECT_EQ(objc_liveObjectCount(), before) << "objects made inside the pool outlived it";
}

}  // namespace facetest
