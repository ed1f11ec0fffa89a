// cache_key_test.cpp
//
// The cache key of an object URL: rebuilt from the matched nodes, full kind words, only the
// segments the URL selected, and nothing for a URL that selected nothing below its project.
#include "zelph/rpc/cache_key.h"

#include <gtest/gtest.h>

#include "zelph/rpc/object_url.h"

namespace zelph::rpc {
namespace {

TEST(CacheKeyTest, KeyOfEachUrlForm) {
  struct Case {
    const char* url;
    const char* key;
  };
  const Case kCases[] = {
      {"/session:s/project:p/input:i", "/input:i"},
      {"/session:s/project:p/output:o", "/output:o"},
      {"/session:s/project:p/cache:c", "/cache:c"},
      {"/session:s/project:p/preview:w", "/preview:w"},
      {"/session:s/project:p/worker:w/output:o", "/worker:w/output:o"},
      {"/session:s/project:p/worker:w/input:i", "/worker:w/input:i"},
      // Prefixes of kind words key under the full words.
      {"/sess:s/proj:p/in:i", "/input:i"},
      {"/session:s/project:p/w:w/o:o", "/worker:w/output:o"},
      // Segments below a node without children, or after a segment without an id, are not
      // part of the key.
      {"/session:s/project:p/cache:c/more:x", "/cache:c"},
      {"/session:s/project:p/status", "/status"},
      {"/session:s/project:p/worker:w/input", "/worker:w/input"},
      {"/session:s/project:p/worker:w/input:", "/worker:w/input:"},
      {"/session:s/project:p/input:a:b", ""},
      {"/session:s/project:p/unknown:x", ""},
      {"/session:s/project:p", ""},
      {"/session:s", ""},
      {"/model:m", ""},
      {"", ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(CacheKeyOf(ObjectUrl(c.url)), c.key) << c.url;
  }
}

}  // namespace
}  // namespace zelph::rpc
