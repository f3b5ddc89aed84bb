#include <gtest/gtest.h>
// placeholder
