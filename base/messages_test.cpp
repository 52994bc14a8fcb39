#include "messages.h"

#include <gtest/gtest.h>

namespace base {
namespace {

TEST(Messages, WriteFailure) {
  struct Case {
    std::string path, message;
  } cases[] = {
      {"d/zzzz0001.bin", "cannot write 'zzzz0001.bin' in 'd': Is a directory"},
      {"a/b/c.bdf", "cannot write 'c.bdf' in 'a/b': Is a directory"},
      {"/c.bdf", "cannot write 'c.bdf' in '/': Is a directory"},
      {"c.bdf", "cannot write 'c.bdf' in '.': Is a directory"},
  };
  for (const Case& c : cases) EXPECT_EQ(write_failure(c.path, "Is a directory"), c.message);
  EXPECT_EQ(write_failure("out", "", "Permission denied"),
            "cannot write in 'out': Permission denied");
}

}  // namespace
}  // namespace base
