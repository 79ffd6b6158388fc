// Asserts that a statement raises mirelda::Error with a given number.
#pragma once

#include <gtest/gtest.h>

#include "mirelda/error.h"
#include "support/print_variant.h"

#define EXPECT_ERROR(statement, expected_number)                                      \
  do {                                                                                \
    try {                                                                             \
      statement;                                                                      \
      ADD_FAILURE() << #statement " raised no error, expected " << (expected_number); \
    } catch (const ::mirelda::Error& e) {                                             \
      EXPECT_EQ(e.number(), (expected_number)) << e.description();                    \
    }                                                                                 \
  } while (0)
