#include <gtest/gtest.h>
#include "platform/strings/strings.h"
